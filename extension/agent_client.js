// tarnwick-server's agent endpoints, as the desktop app calls them: the
// same request bodies and rounds, with this browser's own anonymous user id.

const USER_ID_KEY = 'userId';
// What a page can do: no screenshots, screen points or menu bar here.
const PAGE_TOOLS = ['read_screen', 'click', 'set_value', 'scroll', 'press_key', 'type_text', 'navigate', 'mark_step', 'set_plan'];

/** The anonymous id this browser's tasks are counted under, created once. */
export async function extensionUserId() {
  const stored = await chrome.storage.local.get(USER_ID_KEY);
  if (typeof stored[USER_ID_KEY] === 'string' && stored[USER_ID_KEY]) return stored[USER_ID_KEY];
  const id = crypto.randomUUID();
  await chrome.storage.local.set({ [USER_ID_KEY]: id });
  return id;
}

function checkedRound(round) {
  const valid = round && typeof round.sessionId === 'string' && typeof round.done === 'boolean' &&
    typeof round.text === 'string' && Array.isArray(round.toolUses) &&
    round.toolUses.every((u) => u && typeof u.id === 'string' && typeof u.name === 'string' && 'input' in u);
  if (!valid) throw new Error('the agent service sent an answer that is not an agent round');
  return round;
}

export class AgentClient {
  /** timeLeft(): milliseconds the whole task may still take; each request is cut off then. */
  constructor(origin, userId, timeLeft) {
    this.origin = origin;
    this.userId = userId;
    this.timeLeft = timeLeft;
  }

  async post(path, body) {
    let response;
    try {
      response = await fetch(this.origin + path, {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ userId: this.userId, ...body }),
        signal: AbortSignal.timeout(Math.max(1, this.timeLeft())),
        credentials: 'omit',
        cache: 'no-store',
      });
    } catch (error) {
      throw new Error(`cannot reach ${this.origin}: ${error.name === 'TimeoutError' ? 'no answer in time' : error.message}`);
    }
    const text = await response.text();
    if (!response.ok) throw new Error(`agent ${response.status} ${text}`.trim());
    let round;
    try {
      round = JSON.parse(text);
    } catch {
      throw new Error('the agent service sent an answer that is not JSON');
    }
    return checkedRound(round);
  }

  start(description) {
    return this.post('/api/agent/start', { description, displayWidth: 0, displayHeight: 0, tools: PAGE_TOOLS });
  }

  continue(sessionId, toolResults) {
    return this.post('/api/agent/continue', { sessionId, toolResults });
  }

  verify(sessionId, prompt) {
    return this.post('/api/agent/continue', { sessionId, toolResults: [], userMessage: { text: prompt } });
  }
}
