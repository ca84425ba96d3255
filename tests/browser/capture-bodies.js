// Captures the multipart/form-data bodies that Debian's headless Chromium
// posts for the forms of capture/site/forms.html, as the page host received
// them: each form posts to capture/site/echo.asp, which answers the body it
// read (Request.BinaryRead) as a download, and the request's Content-Type in
// a header, checked against the one the browser sent. Writes
// <case>.body (the raw bytes) and <case>.content-type (the header's value and
// a line feed) into the directory given.
//
//   BASE_URL=http://127.0.0.1:PORT node capture-bodies.js OUTDIR
//
// Run through capture/run.sh, which starts the page host first.
'use strict';
const { chromium } = require('playwright-core');
const fs = require('fs');
const os = require('os');
const path = require('path');

const base = process.env.BASE_URL;
const out = process.argv[2];
// Wine's HTTP service drops larger bodies that arrive in pieces.
const maxBody = 64 * 1024;

const text = s => Buffer.from(s, 'utf8');
const file = (name, mimeType, buffer) => ({ name, mimeType, buffer });

// Two different pictures of the same name: binary bytes with NUL, CR, LF,
// 0xFF, a CR LF followed by "--" and a blank line inside; the first ends with
// CR LF, the second with a lone CR.
const frontJpg = Buffer.from([0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01,
                              0x0D, 0x0A, 0x2D, 0x2D, 0x00, 0x00, 0x0D, 0x0D, 0x0A, 0x0A, 0xFF, 0xFF,
                              0xFF, 0xD9, 0x0D, 0x0A]);
const backJpg = Buffer.from([0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A,
                             0xFF, 0x00, 0xFF, 0x0D, 0x0A, 0x2D, 0x2D, 0x2D, 0x2D, 0xFF, 0xD9, 0x0D]);

const oddNames = ['say "hi".txt', 'semi;colon.txt', '50% off %41.txt', '报告.txt', '보고서.txt', '🎉party.txt'];

// The forms of forms.html by id: each chooses what the browser is given beyond
// the values written there, and answers byte strings the body must hold
// as they are (a check that nothing on the way decoded or re-encoded them).
const cases = {
    'multiple-files': async page => {
        const files = [file('a.txt', 'text/plain', text('alpha\n')),
                       file('b.txt', 'text/plain', text('bravo\r\nbravo\r\n')),
                       file('c.txt', 'text/plain', text('charlie'))];
        await page.setInputFiles('#multiple-files input[name=attach]', files);
        return files.map(f => f.buffer);
    },
    'same-file-name': async page => {
        await page.setInputFiles('#same-file-name input[name=front]', file('photo.jpg', 'image/jpeg', frontJpg));
        await page.setInputFiles('#same-file-name input[name=back]', file('photo.jpg', 'image/jpeg', backJpg));
        return [frontJpg, backJpg];
    },
    'odd-file-names': async page => {
        const files = oddNames.map(name => file(name, 'text/plain', text(`${name}\n`)));
        await page.setInputFiles('#odd-file-names input[name=files]', files);
        return files.map(f => f.buffer);
    },
    'odd-field-names': async page => {
        await page.setInputFiles('#odd-field-names input[type=file]', file('party.txt', 'text/plain', text('balloons\n')));
        return ['name="报告"', 'name="보고서"', 'name="🎉party"'].map(text);
    },
    'empty-file': async () => [text('filename=""')],
    'semicolon-value': async page => {
        await page.setInputFiles('#semicolon-value input[name=attach]', file('menu.txt', 'text/plain', text('noodles\n')));
        return [text('\r\n\r\n;-) lunch?\r\n')];
    },
    'textarea-lines': async page => {
        const lines = 'Dear Bob,\r\n\r\nlunch at noon.\r\n.\r\n-- \r\nAlice\r\n';
        await page.fill('#textarea-lines textarea', lines);
        return [text(lines)];
    },
};

async function capture(page, name, prepare) {
    await page.goto(`${base}/forms.html`);
    const held = await prepare(page);
    const [download, response] = await Promise.all([
        page.waitForEvent('download'),
        page.waitForResponse(r => r.url().endsWith('/echo.asp') && r.request().method() === 'POST'),
        page.click(`#${name} button[type=submit]`),
    ]);
    const body = fs.readFileSync(await download.path());
    const sent = (await response.request().allHeaders())['content-type'];
    const received = response.headers()['x-posted-content-type'];
    if (response.status() !== 200) throw new Error(`${name}: status ${response.status()}`);
    if (!sent || sent !== received) throw new Error(`${name}: sent Content-Type ${sent}, the page read ${received}`);
    if (!sent.startsWith('multipart/form-data; boundary=')) throw new Error(`${name}: Content-Type ${sent}`);
    for (const bytes of held)
        if (body.indexOf(bytes) < 0) throw new Error(`${name}: the body lacks ${JSON.stringify(bytes.toString('latin1'))}`);
    if (body.length === 0 || body.length > maxBody) throw new Error(`${name}: a body of ${body.length} bytes`);
    fs.writeFileSync(path.join(out, `${name}.body`), body);
    fs.writeFileSync(path.join(out, `${name}.content-type`), `${sent}\n`);
    console.log(`${name}: ${body.length} bytes, ${sent}`);
}

(async () => {
    if (!base || !out) throw new Error('usage: BASE_URL=http://127.0.0.1:PORT node capture-bodies.js OUTDIR');
    fs.mkdirSync(out, { recursive: true });
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tarnwick-capture-'));
    const context = await chromium.launchPersistentContext(profile, {
        executablePath: '/usr/bin/chromium',
        headless: true,
        acceptDownloads: true,
        args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
               '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    try {
        const page = await context.newPage();
        for (const [name, prepare] of Object.entries(cases)) await capture(page, name, prepare);
    } finally {
        await context.close();
        fs.rmSync(profile, { recursive: true, force: true });
    }
})().catch(e => {
    console.error(String(e && e.stack ? e.stack : e));
    process.exit(1);
});
