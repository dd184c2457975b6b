// The connection to Tarnwick's bridge on loopback. Tarnwick is often not
// running: attempts back off up to MAX_RETRY_MS so the browser is not kept
// busy, and a periodic alarm wakes the worker to try again.
import { BRIDGE_PORT, MAX_RETRY_MS } from './config.js';

const FIRST_RETRY_MS = 1000;
// An open socket keeps a worker alive only while messages flow.
const KEEPALIVE_MS = 20000;

export class BridgeConnection {
  constructor(onRequest) {
    this.onRequest = onRequest;
    this.socket = null;
    this.retryMs = FIRST_RETRY_MS;
    this.retryTimer = null;
    this.keepalive = null;
  }

  connect() {
    if (this.socket && this.socket.readyState <= WebSocket.OPEN) return;
    clearTimeout(this.retryTimer);
    this.retryTimer = null;
    const socket = new WebSocket(`ws://127.0.0.1:${BRIDGE_PORT}`);
    this.socket = socket;
    socket.onopen = () => {
      this.retryMs = FIRST_RETRY_MS;
      this.keepalive = setInterval(() => this.send({ type: 'keepalive' }), KEEPALIVE_MS);
    };
    socket.onmessage = (event) => this.receive(event.data);
    // An error is always followed by close, where the retry is planned.
    socket.onerror = () => {};
    socket.onclose = () => {
      if (this.socket !== socket) return;
      this.socket = null;
      clearInterval(this.keepalive);
      this.retryTimer = setTimeout(() => this.connect(), this.retryMs);
      this.retryMs = Math.min(this.retryMs * 2, MAX_RETRY_MS);
    };
  }

  send(message) {
    if (this.socket && this.socket.readyState === WebSocket.OPEN) this.socket.send(JSON.stringify(message));
  }

  async receive(data) {
    let request;
    try {
      request = JSON.parse(data);
    } catch {
      return;
    }
    if (!request || typeof request.id !== 'string' || typeof request.method !== 'string') return;
    try {
      const result = await this.onRequest(request.method, request.params || {});
      this.send({ id: request.id, result });
    } catch (error) {
      this.send({ id: request.id, error: String(error && error.message ? error.message : error) });
    }
  }
}
