// The bridge's "command" request: a plain-English task carried out in the
// active tab with the agent of tarnwick-server.
import { AgentClient, extensionUserId } from './agent_client.js';
import { runPageTask } from './agent_loop.js';
import { SERVER_ORIGIN } from './config.js';
import { activeTab, navigate } from './navigate.js';
import { PageTools } from './page_tools.js';

// The app stops waiting after 60 s; the answer must reach it before that.
const TASK_BUDGET_MS = 55000;

// One task at a time: two would number and act on the same page at once.
let busy = false;

export async function command(params) {
  if (typeof params.task !== 'string' || !params.task.trim()) throw new Error('missing task');
  if (busy) return { ok: false, error: 'Another task is still running in the browser; try again when it has finished.' };
  busy = true;
  try {
    return await runCommand(params);
  } finally {
    busy = false;
  }
}

async function runCommand(params) {
  const deadline = Date.now() + TASK_BUDGET_MS;
  const timeLeft = () => deadline - Date.now();
  if (typeof params.url === 'string' && params.url) await navigate({ url: params.url });
  const tab = await activeTab();
  if (!tab) return { ok: false, error: 'No browser tab is open to carry out the task in.' };
  const page = new PageTools(tab.id, timeLeft);
  const first = await page.run('snapshot');
  if (!first.ok) return { ok: false, error: `I can't act on this tab (${tab.url || 'no address'}): ${first.error}` };
  const agent = new AgentClient(SERVER_ORIGIN, await extensionUserId(), timeLeft);
  const outcome = await runPageTask(params.task.trim(), agent, page, timeLeft);
  console.log(`[twk/agent] page task finished after ${outcome.steps} steps: ${outcome.ok ? outcome.message : outcome.error}`);
  return outcome.ok ? { ok: true, message: outcome.message } : { ok: false, error: outcome.error };
}
