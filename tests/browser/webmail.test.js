// Drives the sample web-mail site in Debian's headless Chromium: sign in,
// read a Chinese message, download an attachment, send a message with two
// files to a local user and find it delivered intact, delete a message.
// Screenshots of the inbox and of a message go to $SCREENSHOTS.
//
// Prints "ok <name>" / "not ok <name> # <detail>" per check and a last line
// "N passed, M failed".
'use strict';
const { chromium } = require('playwright-core');
const fs = require('fs');
const path = require('path');

const base = process.env.BASE_URL;
const store = process.env.MAIL_STORE;   // the store's Unix path
const shots = process.env.SCREENSHOTS;
let passed = 0;
let failed = 0;

function check(name, condition, detail) {
    if (condition) {
        passed++;
        console.log(`ok ${name}`);
    } else {
        failed++;
        console.log(`not ok ${name} # ${detail || ''}`);
    }
}

async function step(name, body) {
    try {
        await body();
    } catch (e) {
        check(name, false, String(e && e.message ? e.message.split('\n')[0] : e));
    }
}

async function signIn(page, user, password) {
    await page.goto(`${base}/`);
    await page.fill('form#signin input[name=user]', user);
    await page.fill('form#signin input[name=password]', password);
    await Promise.all([page.waitForNavigation(), page.click('#signin-button')]);
}

// The inbox row (on any page) whose subject matches, as {index, href}.
async function findMessage(page, subject) {
    await page.goto(`${base}/inbox.asp`);
    for (let n = 0; n < 20; n++) {
        const link = page.locator('table#inbox tr.message td.subject a', { hasText: subject });
        if (await link.count() > 0) return link.first();
        const next = page.locator('#next');
        if (await next.count() === 0) return null;
        await Promise.all([page.waitForNavigation(), next.click()]);
    }
    return null;
}

async function download(page, linkText) {
    const [dl] = await Promise.all([page.waitForEvent('download'),
        page.locator('ul#attachments a', { hasText: linkText }).first().click()]);
    return fs.readFileSync(await dl.path());
}

(async () => {
    const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
                                            args: ['--no-sandbox'] });
    const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1100, height: 800 } });
    const page = await context.newPage();
    fs.mkdirSync(shots, { recursive: true });

    await step('sign in as alice', async () => {
        await signIn(page, 'alice', 'wonderland');
        check('sign in as alice', /inbox\.asp/.test(page.url()) && await page.locator('table#inbox').count() === 1,
              `at ${page.url()}`);
        await page.screenshot({ path: path.join(shots, 'inbox.png'), fullPage: true });
    });

    await step('a wrong password is refused', async () => {
        const other = await browser.newPage();
        await other.goto(`${base}/`);
        await other.fill('form#signin input[name=user]', 'alice');
        await other.fill('form#signin input[name=password]', 'not-the-password');
        await Promise.all([other.waitForNavigation(), other.click('#signin-button')]);
        const inbox = await other.goto(`${base}/inbox.asp`);
        check('a wrong password is refused', !/inbox\.asp/.test(other.url()) || (await other.locator('table#inbox').count()) === 0,
              `reached ${other.url()} (status ${inbox && inbox.status()})`);
        await other.close();
    });

    await step('open a Chinese message', async () => {
        const link = await findMessage(page, '周六会议');
        check('the Chinese subject shows in the inbox', link !== null, 'no row with 周六会议');
        if (!link) return;
        await Promise.all([page.waitForNavigation(), link.click()]);
        const body = await page.locator('#body').innerText();
        check('open a Chinese message', body.includes('明天上午九点开会。'), `body: ${JSON.stringify(body)}`);
        const headers = await page.locator('body').innerText();
        check('the Chinese sender name shows', headers.includes('王明'), 'no 王明 on the page');
        await page.screenshot({ path: path.join(shots, 'message.png'), fullPage: true });
    });

    await step('download an attachment', async () => {
        const link = await findMessage(page, 'Lunch on Friday?');
        if (!link) throw new Error('no "Lunch on Friday?" message');
        await Promise.all([page.waitForNavigation(), link.click()]);
        const png = await download(page, 'map.png');
        const expected = fs.readFileSync(path.join(__dirname, 'data', 'map.png'));
        check('download an attachment (bytes equal)', Buffer.compare(png, expected) === 0,
              `got ${png.length} bytes, expected ${expected.length}`);
        const menu = await download(page, 'menu.txt');
        check('download a text attachment', menu.toString('latin1') === 'Noodles with beef\nDumplings\nGreen tea\n',
              JSON.stringify(menu.toString('latin1')));
    });

    const subject = `Two files ${Date.now()}`;
    const fileA = Buffer.from(Array.from({ length: 3000 }, (_, i) => (i * 7 + 3) & 255));
    const fileB = Buffer.concat([Buffer.from('第二个附件\r\n', 'utf8'), Buffer.alloc(200000, 0x5a)]);
    await step('send a message with two files', async () => {
        await page.goto(`${base}/compose.asp`);
        await page.fill('form#compose [name=To]', 'bob@localhost');
        await page.fill('form#compose [name=Subject]', subject);
        await page.fill('form#compose [name=Body]', 'Both files are attached.\nAlice');
        await page.setInputFiles('form#compose input[name=file1]',
                                 { name: 'pattern.bin', mimeType: 'application/octet-stream', buffer: fileA });
        await page.setInputFiles('form#compose input[name=file2]',
                                 { name: 'second.dat', mimeType: 'application/octet-stream', buffer: fileB });
        await Promise.all([page.waitForNavigation(), page.click('#send')]);
        const result = await page.locator('#result').innerText();
        check('send a message with two files', /sent/i.test(result), `result: ${JSON.stringify(result)}`);
    });

    await step('the message is delivered with both files intact', async () => {
        // The demo's delivery stand-in moves it into bob's mailbox within a second or two.
        const bob = await (await browser.newContext({ acceptDownloads: true })).newPage();
        await signIn(bob, 'bob', 'builder');
        let link = null;
        for (let i = 0; i < 20 && !link; i++) {
            link = await findMessage(bob, subject);
            if (!link) await bob.waitForTimeout(500);
        }
        check('the message arrives in bob\'s inbox', link !== null, `no "${subject}"`);
        if (!link) return;
        await Promise.all([bob.waitForNavigation(), link.click()]);
        const a = await download(bob, 'pattern.bin');
        const b = await download(bob, 'second.dat');
        check('the first file arrives intact', Buffer.compare(a, fileA) === 0, `${a.length} bytes`);
        check('the second file arrives intact', Buffer.compare(b, fileB) === 0, `${b.length} bytes`);
        const delivered = fs.readdirSync(path.join(store, 'bob', 'mailbox'));
        check('one message file more in bob\'s mailbox', delivered.length === 2, delivered.join(','));
        await bob.context().close();
    });

    await step('delete a message', async () => {
        const before = fs.readdirSync(path.join(store, 'alice', 'mailbox')).length;
        const link = await findMessage(page, 'Weekly notes, issue 7');
        if (!link) throw new Error('no "Weekly notes, issue 7"');
        await Promise.all([page.waitForNavigation(), link.click()]);
        page.once('dialog', d => d.accept());
        await Promise.all([page.waitForNavigation(), page.click('#delete')]);
        const after = fs.readdirSync(path.join(store, 'alice', 'mailbox')).length;
        check('delete a message (one file fewer)', after === before - 1, `${before} -> ${after}`);
        check('the deleted message is gone from the inbox', (await findMessage(page, 'Weekly notes, issue 7')) === null,
              'still listed');
    });

    await browser.close();
    console.log(`${passed} passed, ${failed} failed`);
    process.exit(failed ? 1 : 0);
})().catch(e => {
    console.log(`not ok browser tests # ${e && e.message}`);
    console.log(`${passed} passed, ${failed + 1} failed`);
    process.exit(1);
});
