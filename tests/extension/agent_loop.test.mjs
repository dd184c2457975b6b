// The page task's rounds with fakes for the agent service and the page.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { MAX_STEPS, runPageTask } from '../../extension/agent_loop.js';

const round = (done, text, toolUses = []) => ({ sessionId: 's1', done, text, toolUses });
const use = (id, name, input) => ({ id, name, input });

function fakes(rounds, { verify = async () => round(true, 'verified') } = {}) {
  const calls = { start: [], continue: [], verify: [], executed: [] };
  let snapshots = 0;
  const agent = {
    start: async (description) => (calls.start.push(description), rounds.shift()()),
    continue: async (sessionId, results) => (calls.continue.push({ sessionId, results }), rounds.shift()()),
    verify: async (sessionId, prompt) => (calls.verify.push(prompt), verify()),
  };
  const page = {
    snapshot: async () => `snapshot ${++snapshots}`,
    execute: async (u) => (calls.executed.push(u.name), { tool_use_id: u.id, text: `did ${u.name}`, isError: false }),
  };
  return { agent, page, calls };
}

const plenty = () => 50000;

test('rounds carry results in order and a claimed success is checked on a fresh snapshot', async () => {
  const { agent, page, calls } = fakes([
    () => round(false, '', [use('a', 'set_value', { id: 1, text: 'hi' }), use('b', 'click', { id: 2 })]),
    () => round(true, 'Searched.'),
  ]);
  const outcome = await runPageTask('search hi', agent, page, plenty);
  assert.deepEqual(outcome, { ok: true, message: 'verified', steps: 1 });
  assert.equal(calls.start[0], 'search hi\n\n--- CURRENT SCREEN ---\nsnapshot 1');
  assert.deepEqual(calls.continue[0].results.map((r) => r.tool_use_id), ['a', 'b']);
  assert.match(calls.verify[0], /"search hi"[\s\S]*snapshot 2$/);

  // When the check itself fails, the agent's own claim is the answer.
  const unchecked = fakes([() => round(true, '')], { verify: async () => { throw new Error('down'); } });
  assert.equal((await runPageTask('t', unchecked.agent, unchecked.page, plenty)).message, 'done');
});

test('every way of stopping short ends with ok false and is never checked as done', async () => {
  const failing = () => { throw new Error('agent 500 boom'); };
  const clickSame = (name) => () => round(false, '', [use('x', name, { id: 4 })]);
  let id = 0;
  const clickNext = () => round(false, '', [use(`c${id}`, 'click', { id: ++id })]);
  const cases = [
    { rounds: [failing], error: /couldn't start.*agent 500 boom/ },
    { rounds: [clickNext, failing], error: /stopped partway.*agent 500 boom/ },
    { rounds: [clickSame('click'), clickSame('click_mark'), clickSame('click'), clickNext], error: /repeating/, continues: 2 },
    { rounds: Array(MAX_STEPS + 2).fill(clickNext), error: /within 30 steps/, continues: MAX_STEPS },
    { rounds: [clickNext, clickNext], timeLeft: () => 100, error: /ran out of time/, continues: 0 },
  ];
  for (const c of cases) {
    const { agent, page, calls } = fakes([...c.rounds]);
    const outcome = await runPageTask('t', agent, page, c.timeLeft || plenty);
    assert.equal(outcome.ok, false, String(c.error));
    assert.match(outcome.error, c.error);
    assert.equal(calls.verify.length, 0);
    if (c.continues !== undefined) assert.equal(calls.continue.length, c.continues, String(c.error));
  }
});
