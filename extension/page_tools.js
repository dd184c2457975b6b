// Carries out the agent's tool uses in one tab: the element work runs in
// the page (page_marks.js), opening addresses and waiting for loads here.
import { checkedAddress, loaded } from './navigate.js';

// A click or key may start a navigation a moment later.
const SETTLE_MS = 300;
const POLL_MS = 100;
const LOAD_WAIT_MS = 10000;
const DECIMAL = /^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/;
const UNAVAILABLE = new Set(['take_screenshot', 'click_at', 'invoke_menu']);

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

/** An element number given as an integer, a number or a numeric string; 0 when unreadable. */
export function markNumber(value) {
  const number = typeof value === 'string' && DECIMAL.test(value) ? Number(value) : value;
  return typeof number === 'number' && Number.isFinite(number) ? Math.trunc(number) : 0;
}

const textField = (value, fallback) => (typeof value === 'string' ? value : fallback);

function inputObject(input) {
  if (typeof input === 'string') {
    try {
      input = JSON.parse(input);
    } catch {
      return {};
    }
  }
  return input && typeof input === 'object' && !Array.isArray(input) ? input : {};
}

export class PageTools {
  constructor(tabId, timeLeft) {
    this.tabId = tabId;
    this.timeLeft = timeLeft;
  }

  /** Runs one entry point of page_marks.js in the tab: {ok, text} or {ok: false, error}. */
  async run(method, ...args) {
    const target = { tabId: this.tabId };
    try {
      await chrome.scripting.executeScript({ target, files: ['page_marks.js'] });
      const [injection] = await chrome.scripting.executeScript({
        target,
        func: (name, values) => globalThis.tarnwickPage[name](...values),
        args: [method, args],
      });
      return injection && injection.result ? injection.result : { ok: false, error: 'the page gave no answer' };
    } catch (error) {
      return { ok: false, error: `cannot act on this page: ${error.message}` };
    }
  }

  async snapshot() {
    const answer = await this.run('snapshot');
    return answer.ok ? answer.text : `(the page could not be read: ${answer.error})`;
  }

  /** Waits until the tab has finished any load that an action started. */
  async settle() {
    await sleep(SETTLE_MS);
    const until = Date.now() + Math.min(LOAD_WAIT_MS, this.timeLeft());
    while (Date.now() < until) {
      const tab = await chrome.tabs.get(this.tabId).catch(() => null);
      if (!tab || tab.status === 'complete') return;
      await sleep(POLL_MS);
    }
  }

  /** An element action, then how the element looks afterwards. */
  async elementAction(method, id, ...args) {
    const answer = await this.run(method, id, ...args);
    if (!answer.ok) return answer;
    await this.settle();
    const hint = await this.run('verifyHint', id);
    return { ok: true, text: hint.ok ? `${answer.text}\n${hint.text}` : answer.text };
  }

  async open(url) {
    let address;
    try {
      address = checkedAddress(url);
    } catch (error) {
      return { ok: false, error: error.message };
    }
    const done = loaded(this.tabId);
    await chrome.tabs.update(this.tabId, { url: address });
    try {
      const tab = await done;
      return { ok: true, text: `opened ${tab.url} ("${tab.title}")` };
    } catch (error) {
      return { ok: false, error: error.message };
    }
  }

  async perform(name, input) {
    switch (name) {
      case 'read_screen':
        return { ok: true, text: await this.snapshot() };
      case 'read_page':
        return this.run('readPage');
      case 'click':
      case 'click_mark': {
        const action = textField(input.action, 'press');
        if (action !== 'press') return { ok: false, error: `web page elements have no "${action}" action; click presses them` };
        return this.elementAction('click', markNumber(input.id));
      }
      case 'set_value':
      case 'fill_mark':
        return this.elementAction('setValue', markNumber(input.id), textField(input.text, textField(input.value, '')));
      case 'press_key': {
        const answer = await this.run('pressKey', textField(input.keys, textField(input.text, '')));
        if (answer.ok) await this.settle();
        return answer;
      }
      case 'type_text':
        return this.run('typeText', textField(input.text, ''));
      case 'scroll': {
        const direction = textField(input.direction, textField(input.scroll_direction, 'down'));
        const amount = markNumber(input.amount ?? input.scroll_amount ?? 3);
        return this.run('scroll', direction, amount);
      }
      case 'navigate':
      case 'open_url':
        return this.open(textField(input.url, ''));
      case 'mark_step':
        return { ok: true, text: `step ${markNumber(input.index)} marked ${textField(input.state, 'doing')}` };
      case 'set_plan': {
        const steps = Array.isArray(input.steps) ? input.steps.filter((s) => typeof s === 'string') : [];
        return { ok: true, text: `plan set with ${steps.length} steps` };
      }
      default:
        if (UNAVAILABLE.has(name))
          return { ok: false, error: `${name} is not available in a web page; act on the elements by id (read_screen lists them)` };
        return { ok: false, error: `unsupported tool: ${name}` };
    }
  }

  /** One tool use of the agent, answered as the result it reads next round. */
  async execute(use) {
    const answer = await this.perform(use.name, inputObject(use.input)).catch((error) => ({ ok: false, error: error.message }));
    if (!answer.ok) console.warn(`[twk/agent] tool error: ${answer.error}`);
    return { tool_use_id: use.id, text: answer.ok ? answer.text : answer.error, isError: !answer.ok };
  }
}
