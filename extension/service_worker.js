// Tarnwick's companion: carries out the web tasks the voice agent asks for.
import { BridgeConnection } from './bridge_connection.js';
import { command } from './command.js';
import { navigate } from './navigate.js';

async function handle(method, params) {
  switch (method) {
    case 'navigate':
      return navigate(params);
    case 'command':
      return command(params);
    default:
      throw new Error(`unknown method: ${method}`);
  }
}

const bridge = new BridgeConnection(handle);
bridge.connect();
chrome.alarms.create('tarnwick-reconnect', { periodInMinutes: 0.5 });
chrome.alarms.onAlarm.addListener(() => bridge.connect());
chrome.runtime.onStartup.addListener(() => bridge.connect());
