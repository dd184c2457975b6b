// The rounds of one page task with tarnwick-server's agent: send the task
// with a snapshot of the page, carry out the tool uses it answers with, send
// their results back, until the agent says it is done and confirms the
// result against a fresh snapshot. Every way of stopping short ends with an
// honest sentence and ok false, never a claim of success.

export const MAX_STEPS = 30;
const SCREEN_MARKER = '\n\n--- CURRENT SCREEN ---\n';
// Leave the last seconds of the caller's wait for the answer itself.
const ROUND_MARGIN_MS = 2000;
const REPEAT_WINDOW = 5;
const REPEAT_LIMIT = 3;

const printed = (value, missing) => (value === undefined || value === null ? missing : String(value));

/** What makes two tool uses "the same action", or null for reads and bookkeeping. */
export function actionSignature(use) {
  const input = use.input && typeof use.input === 'object' ? use.input : {};
  switch (use.name) {
    case 'read_screen':
    case 'read_page':
    case 'mark_step':
    case 'set_plan':
      return null;
    case 'click':
    case 'click_mark':
      return `click:${printed(input.id, '?')}:${printed(input.action, 'press')}`;
    case 'set_value':
    case 'fill_mark':
      return `set:${printed(input.id, '?')}`;
    case 'press_key':
      return `key:${printed(input.keys ?? input.text, '')}`;
    case 'type_text':
      return `type:${Array.from(printed(input.text, '')).slice(0, 20).join('')}`;
    case 'navigate':
      return `navigate:${printed(input.url, '')}`;
    default:
      return use.name;
  }
}

function repeating(signatures) {
  const recent = signatures.slice(-REPEAT_WINDOW);
  return recent.some((s) => recent.filter((t) => t === s).length >= REPEAT_LIMIT);
}

function verificationPrompt(task, snapshot) {
  return `The task appears complete. Task was: "${task}".\n` +
    'Here is the CURRENT page snapshot. Read the relevant element\'s state and confirm, in one short ' +
    'sentence, whether the goal is actually achieved. If it did NOT succeed, say plainly what is wrong. ' +
    `Do NOT take any action; just give the verdict.${SCREEN_MARKER}${snapshot}`;
}

const failure = (error, steps) => ({ ok: false, error, steps });
const reason = (error) => String(error && error.message ? error.message : error);

/**
 * agent: {start(description), continue(sessionId, toolResults), verify(sessionId, prompt)}, each
 *   resolving to a round {sessionId, done, text, toolUses}.
 * page: {snapshot() -> text, execute(toolUse) -> {tool_use_id, text, isError}}.
 * timeLeft(): milliseconds before the caller stops waiting.
 */
export async function runPageTask(task, agent, page, timeLeft) {
  let round;
  try {
    round = await agent.start(`${task}${SCREEN_MARKER}${await page.snapshot()}`);
  } catch (error) {
    return failure(`I couldn't start the task: the agent service failed (${reason(error)}).`, 0);
  }
  const signatures = [];
  for (let steps = 0; ; steps++) {
    if (round.done) return verify(task, round, agent, page, timeLeft, steps);
    if (steps >= MAX_STEPS) return failure(`I couldn't finish the task within ${MAX_STEPS} steps.`, steps);
    const results = [];
    for (const use of round.toolUses) {
      results.push(await page.execute(use));
      const signature = actionSignature(use);
      if (signature !== null) signatures.push(signature);
    }
    if (repeating(signatures))
      return failure('I stopped because I kept repeating the same action on the page without getting anywhere.', steps);
    if (timeLeft() < ROUND_MARGIN_MS) return failure('I ran out of time before finishing the task on the page.', steps);
    try {
      round = await agent.continue(round.sessionId, results);
    } catch (error) {
      return failure(`I stopped partway: the agent service failed (${reason(error)}).`, steps);
    }
  }
}

// The agent's own verdict on a fresh snapshot replaces its claim; when that
// check cannot be made, the claim stands.
async function verify(task, round, agent, page, timeLeft, steps) {
  const claimed = round.text || 'done';
  if (timeLeft() < ROUND_MARGIN_MS) return { ok: true, message: claimed, steps };
  try {
    const verdict = await agent.verify(round.sessionId, verificationPrompt(task, await page.snapshot()));
    return { ok: true, message: verdict.text || 'done', steps };
  } catch {
    return { ok: true, message: claimed, steps };
  }
}
