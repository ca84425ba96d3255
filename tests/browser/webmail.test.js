// Drives the sample web-mail site in Debian's headless Chromium: sign in,
// read a Chinese message and UTF-8 mail (a subject of several encoded words,
// an emoji, a Korean attachment name), download attachments (odd names too),
// send a message with two files to a local user and find it delivered intact,
// send a large one and watch its upload progress, send to two recipients,
// have a mistyped or unreadable recipient named with the form kept, send
// Chinese text, delete a message, sign out. An HTML message in its formatted
// view runs nothing of its own and fetches nothing from another server, and
// its cid: image shows. Also the session rules: no
// session until a page stores a value, a new session id at sign-in,
// SameSite=Lax, form tokens, the limits on forms and passwords.
// Screenshots of the inbox and of a message go to $SCREENSHOTS.
//
// Prints "ok <name>" / "not ok <name> # <detail>" per check and a last line
// "N passed, M failed". TARNWICK_BROWSER_FLOOD=1 adds a slow check (about two
// minutes): a signed-in session outlives 10,050 anonymous sign-in page views.
'use strict';
const { chromium, request } = require('playwright-core');
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

// An HTTP client outside the browser, with a cookie jar of its own: for
// headers, and for posting what the site's own forms would not.
function client() {
    return request.newContext({ baseURL: base });
}

function sessionCookieLine(response) {
    const line = response.headersArray().find(h => h.name.toLowerCase() === 'set-cookie' &&
                                                   h.value.startsWith('TarnwickSessionID='));
    return line ? line.value : '';
}

function tokenIn(html) {
    const m = /name="token" value="([^"]*)"/.exec(html);
    return m ? m[1] : '';
}

// The name a Content-Disposition gives in filename*=UTF-8''..., decoded.
function extendedName(disposition) {
    const m = /filename\*=UTF-8''([^;\s]*)/i.exec(disposition || '');
    return m ? decodeURIComponent(m[1]) : null;
}

// A message for alice whose attachments have names that are hard to send:
// a trailing backslash, quotes and a control character, Chinese (GBK).
function oddNamesMessage() {
    const gbkName = Buffer.from([0xcf, 0xee, 0xc4, 0xbf, 0x20, 0xb1, 0xa8, 0xb8, 0xe6, 0x2b, 0x31, 0x2e, 0x74, 0x78, 0x74]);
    const part = (disposition) => Buffer.concat([Buffer.from('--b\r\nContent-Type: application/octet-stream\r\n' +
        'Content-Disposition: attachment; filename='), disposition,
        Buffer.from('\r\nContent-Transfer-Encoding: base64\r\n\r\naGVsbG8=\r\n')]);
    return Buffer.concat([
        Buffer.from('From: Odd <odd@localhost>\r\nTo: alice@localhost\r\nSubject: Odd attachment names\r\n' +
                    'Date: Thu, 10 Dec 2026 08:00:00 +0800\r\nContent-Type: multipart/mixed; boundary="b"\r\n\r\n' +
                    '--b\r\nContent-Type: text/plain\r\n\r\nThree attachments.\r\n'),
        part(Buffer.from('x\\')),
        part(Buffer.from('say"hi"\x01.txt')),
        part(Buffer.concat([Buffer.from('"'), gbkName, Buffer.from('"')])),
        Buffer.from('--b--\r\n')]);
}

// A message for alice with an HTML attachment that holds a script.
function htmlAttachmentMessage() {
    return Buffer.from('From: Mallory <mallory@localhost>\r\nTo: alice@localhost\r\nSubject: An HTML attachment\r\n' +
        'Date: Thu, 10 Dec 2026 09:00:00 +0800\r\nContent-Type: multipart/mixed; boundary="b"\r\n\r\n' +
        '--b\r\nContent-Type: text/plain\r\n\r\nOpen it.\r\n' +
        '--b\r\nContent-Type: text/html\r\nContent-Disposition: attachment; filename="x.html"\r\n\r\n' +
        '<script>document.title = "ran"</script>\r\n--b--\r\n');
}

// An HTML-only message for alice with everything a formatted view must not
// run or fetch (a script, an onerror handler, a javascript: link, a remote
// image) and a cid: image, referred to in two spellings.
const remoteHost = '203.0.113.9';   // TEST-NET-3: never routed
function htmlMessage() {
    const html = '<html><head><style>p.hi { color: rgb(170, 0, 0); }</style></head><body>\r\n' +
        '<p class="hi" id="hello">Formatted hello</p>\r\n' +
        '<script>document.body.setAttribute("data-ran", "script"); fetch("/ran-script");' +
        ` new Image().src = "http://${remoteHost}/script.png";</script>\r\n` +
        '<img id="broken" src="no-such-image.png" onerror="document.body.setAttribute(\'data-ran\', \'onerror\'); fetch(\'/ran-onerror\')">\r\n' +
        '<a id="jslink" href="javascript:document.body.setAttribute(\'data-ran\', \'link\'); fetch(\'/ran-link\')">a link</a>\r\n' +
        `<img id="remote" src="http://${remoteHost}/x.png">\r\n` +
        '<img id="inline" SRC = \'CID:map.1@sample.test\' alt="map">\r\n' +
        '<img id="inline2" src=cid:map.1@sample.test>\r\n</body></html>\r\n';
    const png = fs.readFileSync(path.join(__dirname, 'data', 'map.png')).toString('base64').replace(/.{1,76}/g, '$&\r\n');
    return Buffer.from('From: Mallory <mallory@localhost>\r\nTo: alice@localhost\r\nSubject: A formatted message\r\n' +
        'Date: Thu, 10 Dec 2026 10:00:00 +0800\r\nMIME-Version: 1.0\r\n' +
        'Content-Type: multipart/related; boundary="rel"\r\n\r\n' +
        '--rel\r\nContent-Type: text/html; charset=utf-8\r\n\r\n' + html +
        '--rel\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\nContent-ID: <map.1@sample.test>\r\n' +
        'Content-Disposition: inline; filename="map.png"\r\n\r\n' + png + '--rel--\r\n');
}

(async () => {
    const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
                                            args: ['--no-sandbox'] });
    const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1100, height: 800 } });
    const page = await context.newPage();
    fs.mkdirSync(shots, { recursive: true });
    fs.writeFileSync(path.join(store, 'alice', 'mailbox', '20.in'), oddNamesMessage());
    fs.writeFileSync(path.join(store, 'alice', 'mailbox', '21.in'), htmlAttachmentMessage());
    fs.writeFileSync(path.join(store, 'alice', 'mailbox', '22.in'), htmlMessage());

    await step('pages that store nothing start no session', async () => {
        const api = await client();
        const started = [];
        for (const p of ['inbox.asp', 'read.asp?i=0', 'compose.asp', 'hz.asp', 'about.asp', 'attachment.asp?i=0&name=x']) {
            if (sessionCookieLine(await api.get(p, { maxRedirects: 0 }))) started.push(p);
        }
        check('pages that store nothing start no session', started.length === 0, `a session cookie from ${started.join(', ')}`);
        const line = sessionCookieLine(await api.get('default.asp'));
        check('the sign-in page starts a session: cookie HttpOnly and SameSite=Lax',
              /; HttpOnly(;|$)/i.test(line) && /; SameSite=Lax(;|$)/i.test(line), line);
        await api.dispose();
    });

    await step('a session id chosen before sign-in', async () => {
        // Someone gets a session id from the sign-in page and plants it in the
        // victim's browser; the victim signs in with it.
        const other = await client();
        const planted = (/^TarnwickSessionID=([^;]*)/.exec(sessionCookieLine(await other.get('default.asp'))) || [])[1];
        if (!planted) throw new Error('the sign-in page gave no session id');
        const victimContext = await browser.newContext();
        await victimContext.addCookies([{ name: 'TarnwickSessionID', value: planted, url: base }]);
        const victim = await victimContext.newPage();
        await signIn(victim, 'wangming', 'nihao');
        const now = (await victimContext.cookies(base)).find(c => c.name === 'TarnwickSessionID');
        check('signing in gives a new session id', /inbox\.asp/.test(victim.url()) && now && now.value !== planted,
              `at ${victim.url()}, id ${now && now.value}, planted ${planted}`);
        const r = await other.get('inbox.asp', { maxRedirects: 0 });
        check('the id chosen before sign-in does not open the inbox', r.status() === 302, `status ${r.status()}`);
        await victimContext.close();
        await other.dispose();
    });

    await step('the sign-in form needs its token', async () => {
        const api = await client();
        await api.get('default.asp');
        const r = await api.post('default.asp', { form: { user: 'alice', password: 'wonderland' }, maxRedirects: 0 });
        const inbox = await api.get('inbox.asp', { maxRedirects: 0 });
        check('signing in without the form token is refused', r.status() === 403 && inbox.status() === 302,
              `sign-in ${r.status()}, then inbox ${inbox.status()}`);
        await api.dispose();
    });

    await step('a long password is refused before it is hashed', async () => {
        const api = await client();
        const token = tokenIn(await (await api.get('default.asp')).text());
        const started = Date.now();
        const r = await api.post('default.asp', { form: { token, user: 'alice', password: 'p'.repeat(200 * 1024) },
                                                  maxRedirects: 0, timeout: 30000 });
        const ms = Date.now() - started;
        const html = await r.text();
        check('a 200 KB password is refused at once', r.status() === 200 && /id="error"/.test(html) && ms < 5000,
              `status ${r.status()} after ${ms} ms`);
        const longStarted = Date.now();
        const longToken = await api.post('default.asp', { form: { token: 't'.repeat(1000000), user: 'alice', password: 'x' },
                                                          maxRedirects: 0, timeout: 30000 });
        const longMs = Date.now() - longStarted;
        check('a 1 MB form token is refused at once', longToken.status() === 403 && longMs < 5000,
              `status ${longToken.status()} after ${longMs} ms`);
        const big = await api.post('default.asp', { headers: { 'Content-Type': 'application/x-www-form-urlencoded' },
                                                    data: `token=${token}&x=${'a'.repeat(1024 * 1024)}`, maxRedirects: 0 });
        check('a url-encoded body over 1 MiB is answered 413', big.status() === 413, `status ${big.status()}`);
        await api.dispose();
    });

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

    await step('UTF-8 mail', async () => {
        // The sample store's messages in UTF-8 (webmail_store).
        for (const subject of ['关于下个季度产品发布会的安排和准备工作', 'Party 🎉 tonight']) {
            const link = await findMessage(page, subject);
            const shown = link && await link.innerText();
            check(`the inbox shows "${subject}" exactly`, shown === subject, JSON.stringify(shown));
        }
        const party = await findMessage(page, 'Party 🎉 tonight');
        if (!party) return;
        await Promise.all([page.waitForNavigation(), party.click()]);
        await Promise.all([page.waitForNavigation(), page.click('#reply')]);
        const prefill = await page.inputValue('#subject');
        check('a reply prefills the emoji subject', prefill === 'Re: Party 🎉 tonight', JSON.stringify(prefill));
    });

    await step('a Korean attachment name', async () => {
        const name = '분기 보고서.txt';
        const link = await findMessage(page, '분기 보고서를 보냅니다');
        if (!link) throw new Error('no message "분기 보고서를 보냅니다"');
        await Promise.all([page.waitForNavigation(), link.click()]);
        const names = await page.locator('ul#attachments a').allInnerTexts();
        check('the message lists the Korean attachment name', names.includes(name), JSON.stringify(names));
        const [dl] = await Promise.all([page.waitForEvent('download'),
            page.locator('ul#attachments a', { hasText: name }).first().click()]);
        const bytes = fs.readFileSync(await dl.path());
        check('the Korean attachment downloads with its name', dl.suggestedFilename() === name, dl.suggestedFilename());
        check('the Korean attachment downloads byte for byte',
              Buffer.compare(bytes, Buffer.from('매출 120\r\n비용 80\r\n', 'utf8')) === 0, bytes.toString('hex'));
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

    await step('download names', async () => {
        const link = await findMessage(page, 'Odd attachment names');
        if (!link) throw new Error('no "Odd attachment names" message');
        await Promise.all([page.waitForNavigation(), link.click()]);
        const hrefs = await page.locator('ul#attachments a').evaluateAll(as => as.map(a => a.href));
        const dispositions = [];
        for (const href of hrefs) {
            try {
                dispositions.push((await page.request.get(href)).headers()['content-disposition'] || '');
            } catch (e) {
                dispositions.push(`(no answer: ${String(e.message).split('\n')[0]})`);
            }
        }
        const backslash = dispositions.find(d => extendedName(d) === 'x\\') || dispositions[0];
        check('a name ending in a backslash is escaped in the quoted string',
              /^attachment; filename="x\\\\"; filename\*=UTF-8''x%5C$/i.test(backslash), backslash);
        const quotes = dispositions.find(d => /say/.test(d)) || '';
        check('quotes are escaped and control characters dropped',
              quotes.startsWith('attachment; filename="say\\"hi\\".txt"; ') && extendedName(quotes) === 'say"hi".txt' &&
              !/[\x00-\x1f]/.test(quotes), JSON.stringify(quotes));
        const [dl] = await Promise.all([page.waitForEvent('download'),
            page.locator('ul#attachments a', { hasText: '报告' }).first().click()]);
        check('a Chinese name survives the download (filename*)', dl.suggestedFilename() === '项目 报告+1.txt',
              dl.suggestedFilename());
    });

    await step('an HTML attachment is sent as bytes', async () => {
        const link = await findMessage(page, 'An HTML attachment');
        if (!link) throw new Error('no "An HTML attachment" message');
        await Promise.all([page.waitForNavigation(), link.click()]);
        const href = await page.locator('ul#attachments a', { hasText: 'x.html' }).first().evaluate(a => a.href);
        const headers = (await page.request.get(href)).headers();
        check('an HTML attachment goes out as application/octet-stream, nosniff',
              headers['content-type'] === 'application/octet-stream' && headers['x-content-type-options'] === 'nosniff' &&
              /^attachment;/.test(headers['content-disposition'] || ''), JSON.stringify(headers));
    });

    await step('an HTML message', async () => {
        // A browser of its own: Chromium puts a sandboxed frame in a process
        // whose requests playwright does not see unless that is turned off.
        const own = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
                                            args: ['--no-sandbox', '--disable-features=IsolateSandboxedIframes'] });
        const viewer = await (await own.newContext()).newPage();
        const origin = new URL(base).origin;
        const requests = [];
        const failures = new Map();
        const reached = [];
        viewer.on('request', r => requests.push(r.url()));
        viewer.on('requestfailed', r => failures.set(r.url(), r.failure() && r.failure().errorText));
        // What gets past the browser's checks to the network; nothing may leave the site.
        await viewer.route('**/*', route => {
            const url = route.request().url();
            if (new URL(url).origin === origin) return route.continue();
            reached.push(url);
            return route.abort();
        });
        await signIn(viewer, 'alice', 'wonderland');
        const link = await findMessage(viewer, 'A formatted message');
        if (!link) throw new Error('no "A formatted message"');
        await Promise.all([viewer.waitForNavigation(), link.click()]);
        const text = await viewer.locator('#body').innerText();
        check('an HTML message shows as text first, without its script',
              text.includes('Formatted hello') && !text.includes('fetch') && await viewer.locator('iframe').count() === 0,
              JSON.stringify(text));
        const [response] = await Promise.all([viewer.waitForNavigation(), viewer.click('#show-formatted')]);
        check('the formatted view has its policy',
              response.headers()['content-security-policy'] === "default-src 'none'; style-src 'unsafe-inline'; img-src 'self' data:",
              JSON.stringify(response.headers()['content-security-policy']));
        const sandbox = await viewer.locator('iframe#htmlbody').getAttribute('sandbox');
        check('the message is in a sandboxed frame (no scripts, no same origin)', sandbox === '', JSON.stringify(sandbox));
        check('the page says remote content is not loaded', /not loaded/.test(await viewer.locator('#remote-note').innerText()),
              'no note');
        const frame = viewer.frameLocator('iframe#htmlbody');
        check('the formatted message shows with its style',
              await frame.locator('#hello').evaluate(p => getComputedStyle(p).color) === 'rgb(170, 0, 0)', 'no red hello');
        await frame.locator('#inline').evaluate(img => img.complete || new Promise(r => { img.onload = img.onerror = r; }));
        const widths = [];
        for (const id of ['#inline', '#inline2', '#remote']) widths.push(await frame.locator(id).evaluate(img => img.naturalWidth));
        check('the cid: image shows, in both spellings', widths[0] > 0 && widths[1] > 0, JSON.stringify(widths));
        check('the remote image does not', widths[2] === 0, JSON.stringify(widths));
        await frame.locator('#jslink').click();
        await viewer.waitForTimeout(1000);
        const ran = await frame.locator('body').getAttribute('data-ran');
        check('no script of the message ran (script, onerror, javascript: link)',
              ran === null && !requests.some(u => /ran-/.test(u)), `${ran} ${requests.filter(u => /ran-/.test(u)).join(', ')}`);
        const away = requests.filter(u => new URL(u).origin !== origin);
        check('no request leaves the site (the browser blocks them by the policy)',
              reached.length === 0 && away.every(u => failures.get(u) === 'csp') && away.some(u => u.includes(remoteHost)),
              `reached ${reached.join(', ')}; tried ${away.map(u => `${u} (${failures.get(u)})`).join(', ')}`);
        const inline = requests.find(u => /\/inline\.asp\?/.test(u));
        check('the cid: image comes from inline.asp', inline && new URL(inline).searchParams.get('cid') === 'map.1@sample.test',
              requests.join(', '));
        if (inline) {
            const r = await viewer.request.get(inline);
            check('inline.asp sends the image, nosniff',
                  r.status() === 200 && r.headers()['content-type'] === 'image/png' && r.headers()['x-content-type-options'] === 'nosniff',
                  `${r.status()} ${JSON.stringify(r.headers())}`);
            const missing = await viewer.request.get(inline.replace(/cid=.*/, 'cid=nothing%40here'), { maxRedirects: 0 });
            const api = await client();
            const keyed = await api.get(inline, { maxRedirects: 0 });
            const bob = await api.get(inline.replace(/u=alice/, 'u=bob'), { maxRedirects: 0 });
            const noKey = await api.get(inline.replace(/k=[0-9a-f]+/, 'k=' + '0'.repeat(64)), { maxRedirects: 0 });
            await api.dispose();
            check('inline.asp: 404 for another Content-ID; its key opens only alice\'s parts',
                  missing.status() === 404 && keyed.status() === 200 && bob.status() === 302 && noKey.status() === 302,
                  `${missing.status()}, ${keyed.status()}, ${bob.status()}, ${noKey.status()}`);
        }
        await own.close();
    });

    await step('the HZ page', async () => {
        await page.goto(`${base}/hz.asp`);
        await page.fill('form#hzform [name=hz]', '~{<:Ky2;S{#,NpJ)l6HK!#~}');
        await Promise.all([page.waitForNavigation(), page.click('#convert')]);
        const text = await page.locator('#hzresult').innerText();
        check('HZ text converts with the form', text.includes('己所不欲'), JSON.stringify(text));
        const r = await page.request.post(`${base}/hz.asp`, { form: { hz: '~{<:Ky2;S{#,NpJ)l6HK!#~}' } });
        check('an HZ post without the form token is refused', r.status() === 403, `status ${r.status()}`);
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
        await page.click('#send');
        const result = await page.locator('#result').innerText({ timeout: 60000 });
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

    // The delivery stand-in moves wangming's mail into his mailbox: the
    // message file (or null) holding that text.
    async function deliveredTo(user, text) {
        const dir = path.join(store, user, 'mailbox');
        for (let i = 0; i < 40; i++) {
            for (const f of fs.readdirSync(dir)) {
                const file = path.join(dir, f);
                if (fs.readFileSync(file).includes(text)) return file;
            }
            await new Promise(r => setTimeout(r, 500));
        }
        return null;
    }

    await step('compose shows upload progress', async () => {
        const big = Buffer.alloc(5 * 1024 * 1024);
        for (let i = 0; i < big.length; i++) big[i] = (i * 31 + (i >> 11)) & 255;
        const bigSubject = `Five megabytes ${Date.now()}`;
        await page.goto(`${base}/compose.asp`);
        const seen = [];
        await page.exposeFunction('noteProgress', (value, max, text) => seen.push({ value, max, text }));
        await page.evaluate(() => {
            const bar = document.getElementById('progress');
            const text = document.getElementById('progress-text');
            new MutationObserver(() => window.noteProgress(bar.value, bar.max, text.textContent))
                .observe(text, { childList: true, characterData: true, subtree: true });
        });
        await page.fill('form#compose [name=To]', 'wangming@localhost');
        await page.fill('form#compose [name=Subject]', bigSubject);
        await page.fill('form#compose [name=Body]', 'A large file.');
        await page.setInputFiles('form#compose input[name=file1]',
                                 { name: 'large.bin', mimeType: 'application/octet-stream', buffer: big });
        await page.click('#send');
        const result = await page.locator('#result').innerText({ timeout: 120000 });
        for (let i = 0; i < 20 && !seen.some(s => /\(100%\)/.test(s.text)); i++) await page.waitForTimeout(100);
        const full = seen.find(s => s.max >= big.length && s.value === s.max && /\(100%\)/.test(s.text));
        check('the progress bar reaches 100% for a 5 MB file', full !== undefined,
              `${seen.length} updates, last ${JSON.stringify(seen[seen.length - 1])}`);
        check('the 5 MB message is sent', /sent/i.test(result), `result: ${JSON.stringify(result)}`);
        const file = await deliveredTo('wangming', bigSubject);
        check('the 5 MB message arrives', file !== null && fs.statSync(file).size > big.length,
              file ? `${fs.statSync(file).size} bytes` : 'not delivered');
    });

    await step('compose without JavaScript', async () => {
        const plainContext = await browser.newContext({ javaScriptEnabled: false });
        const plain = await plainContext.newPage();
        await signIn(plain, 'alice', 'wonderland');
        const plainSubject = `No script ${Date.now()}`;
        await plain.goto(`${base}/compose.asp`);
        await plain.fill('form#compose [name=To]', 'wangming@localhost');
        await plain.fill('form#compose [name=Subject]', plainSubject);
        await plain.setInputFiles('form#compose input[name=file1]',
                                  { name: 'note.txt', mimeType: 'text/plain', buffer: Buffer.from('plain post\r\n') });
        await Promise.all([plain.waitForNavigation(), plain.click('#send')]);
        const result = await plain.locator('#result').innerText();
        check('without JavaScript the form posts as before', /send\.asp/.test(plain.url()) && /sent/i.test(result),
              `at ${plain.url()}: ${JSON.stringify(result)}`);
        check('and that message arrives', (await deliveredTo('wangming', plainSubject)) !== null, 'not delivered');
        await plainContext.close();
    });

    // Blanks after a comma are fine; a recipient Send would refuse brings
    // the form back, filled in, with what is wrong.
    await step('send to "bob@localhost, wangming@localhost"', async () => {
        const both = `Two recipients ${Date.now()}`;
        await page.goto(`${base}/compose.asp`);
        await page.fill('form#compose [name=To]', 'bob@localhost, wangming@localhost');
        await page.fill('form#compose [name=Subject]', both);
        await page.click('#send');
        const result = await page.locator('#result').innerText({ timeout: 60000 });
        check('blanks after the comma: the message is sent', /sent/i.test(result), JSON.stringify(result));
        check('bob and wangming both receive it',
              (await deliveredTo('bob', both)) !== null && (await deliveredTo('wangming', both)) !== null, 'not both');
    });

    const bobFiles = () => fs.readdirSync(path.join(store, 'bob', 'mailbox')).length +
        fs.readdirSync(path.join(store, 'bob')).filter(f => /^qvr/.test(f)).length;
    // The Bcc field waits behind its link; a name in quotes may hold a comma.
    await step('a mistyped local recipient', async () => {
        const before = bobFiles();
        const stamp = Date.now();
        const typo = `Typo ${stamp} 周末`;
        const body = `Kept 안녕 when it comes back. ref-${stamp}`;
        const fields = { to: 'bob@localhost', cc: '"Wang, Ming" <wangming@localhost>', bcc: 'bbo@localhost' };
        await page.goto(`${base}/compose.asp`);
        const hiddenAtFirst = !(await page.isVisible('#bcc'));
        await page.click('#show-bcc');
        check('the Bcc field shows when its link is clicked', hiddenAtFirst && await page.isVisible('#bcc'), 'not hidden, then shown');
        await page.fill('#to', fields.to);
        await page.fill('#cc', fields.cc);
        await page.fill('#bcc', fields.bcc);
        await page.fill('#subject', typo);
        await page.fill('#bodytext', body);
        await page.click('#send');
        const result = await page.locator('#result').innerText({ timeout: 60000 });
        check('the unknown recipient is named (here in Bcc)', /unknown local recipient: bbo@localhost/i.test(result), JSON.stringify(result));
        const kept = [];
        for (const id of ['#to', '#cc', '#bcc', '#subject', '#bodytext']) kept.push(await page.inputValue(id));
        check('the form comes back filled in, Cc and Bcc too (Bcc shown)',
              kept.join('|') === [fields.to, fields.cc, fields.bcc, typo, body].join('|') && await page.isVisible('#bcc'),
              JSON.stringify(kept));
        check('nothing is delivered to bob', bobFiles() === before, `${before} -> ${bobFiles()}`);
        await page.fill('#bcc', '');
        await page.click('#send');
        await page.locator('#result', { hasText: 'sent' }).waitFor({ timeout: 60000 });
        check('the form that came back sends once corrected (a quoted name with a comma is one recipient)',
              (await deliveredTo('bob', `ref-${stamp}`)) !== null && (await deliveredTo('wangming', `ref-${stamp}`)) !== null,
              'not delivered to both');
    });

    await step('an address that cannot be read', async () => {
        await page.goto(`${base}/compose.asp`);
        await page.fill('form#compose [name=To]', '<carol@localhost');
        await page.fill('form#compose [name=Subject]', 'Unreadable');
        await page.click('#send');
        const result = await page.locator('#result').innerText({ timeout: 60000 });
        check('"<carol@localhost" is named as unreadable', /"<carol@localhost" cannot be read/.test(result), JSON.stringify(result));
        // The last recipient, its quote left open by a final backslash, is read too.
        const before = bobFiles();
        await page.goto(`${base}/compose.asp`);
        await page.fill('#to', 'Bob <bob@localhost>, "x <wangming@localhost>\\');
        await page.click('#send');
        const open = await page.locator('#result').innerText({ timeout: 60000 });
        check('a last recipient whose quote stays open is named as unreadable, nothing sent',
              /"x <wangming@localhost>\\" cannot be read/.test(open) && bobFiles() === before, JSON.stringify(open));
        await page.goto(`${base}/compose.asp`);
        await page.fill('#to', ' '.repeat(10001) + 'bob@localhost');
        await page.click('#send');
        const long = await page.locator('#result').innerText({ timeout: 60000 });
        check('a recipient field past 10,000 characters is refused at once', /at most 10000 characters/.test(long),
              JSON.stringify(long));
    });

    // Mail as written today, sent with script: a Korean subject with an
    // emoji, Arabic text, two files whose names are hard to send, Cc and Bcc
    // (bob named twice); then a 300-character subject over lines that start
    // with a dot. Bob reads both exactly; the store shows who got a copy and
    // that no copy names its Bcc recipients.
    const today = Date.now();
    const utf8Subject = `분기 보고서 🎉 ${today}`;
    const utf8Body = `ref-u-${today}\nمرحبا بالعالم\nهذا سطر ثانٍ 🌙\n한국어 줄`;
    const longSubject = (() => {
        const unit = Array.from(`긴 제목 ${today} 🎉 a long subject, `);
        const chars = Array.from({ length: 300 }, (_, i) => unit[i % unit.length]);
        chars[299] = '!';
        return chars.join('');
    })();
    const dotBody = `ref-l-${today}\n.\n..two dots\n.one dot\nlast line`;
    const todayFiles = [
        { name: '분기 보고서 (최종).txt', mimeType: 'text/plain',
          buffer: Buffer.concat([Buffer.from('매출 120\r\n.\r\n..두 점\r\n', 'utf8'), Buffer.from([0, 0xff, 0x80, 0x0d, 0x0a, 0x2e])]) },
        { name: 'a"b;c.txt', mimeType: 'text/plain', buffer: Buffer.from('a quote " and a semicolon ;\r\n') },
    ];
    // The copies (collected, or still waiting in the user's folder) that hold text.
    const copiesOf = (user, text) => [path.join(store, user, 'mailbox'), path.join(store, user)]
        .flatMap(dir => fs.readdirSync(dir).filter(f => dir.endsWith('mailbox') || /^qvr.*\.in$/.test(f)).map(f => path.join(dir, f)))
        .filter(f => fs.statSync(f).isFile() && fs.readFileSync(f).includes(text));
    await step('send mail written today', async () => {
        await page.goto(`${base}/compose.asp`);
        await page.fill('#to', 'Bob <bob@localhost>');
        await page.fill('#cc', 'wangming@localhost');
        await page.click('#show-bcc');
        await page.fill('#bcc', 'alice@localhost; BOB@localhost');
        await page.fill('#subject', utf8Subject);
        await page.fill('#bodytext', utf8Body);
        await page.setInputFiles('#file1', todayFiles[0]);
        await page.setInputFiles('#file2', todayFiles[1]);
        await page.click('#send');
        const first = await page.locator('#result').innerText({ timeout: 60000 });
        await page.goto(`${base}/compose.asp`);
        await page.fill('#to', 'bob@localhost');
        await page.fill('#subject', longSubject);
        await page.fill('#bodytext', dotBody);
        await page.click('#send');
        const second = await page.locator('#result').innerText({ timeout: 60000 });
        check('send a Korean, emoji and Arabic message with two files, Cc and Bcc; then a 300-character subject',
              /sent/i.test(first) && /sent/i.test(second), `${JSON.stringify(first)}, ${JSON.stringify(second)}`);
    });

    await step('bob reads mail written today exactly', async () => {
        const bobContext = await browser.newContext({ acceptDownloads: true });
        const bob = await bobContext.newPage();
        await signIn(bob, 'bob', 'builder');
        let link = null;
        for (let i = 0; i < 20 && !link; i++) {
            link = await findMessage(bob, utf8Subject);
            if (!link) await bob.waitForTimeout(500);
        }
        if (!link) throw new Error(`no "${utf8Subject}" in bob's inbox`);
        const listed = await link.innerText();
        await Promise.all([bob.waitForNavigation(), link.click()]);
        const subject = await bob.locator('#subject').innerText();
        const body = (await bob.locator('#body').innerText()).replace(/\r/g, '').replace(/\n+$/, '');
        check('the Korean and emoji subject and the Arabic body read back exactly',
              listed === utf8Subject && subject === utf8Subject && body === utf8Body,
              JSON.stringify([listed, subject, body]));
        const names = await bob.locator('ul#attachments a').allInnerTexts();
        check('the attachment names read back exactly', JSON.stringify(names) === JSON.stringify(todayFiles.map(f => f.name)),
              JSON.stringify(names));
        const got = [];
        for (const f of todayFiles) {
            const [dl] = await Promise.all([bob.waitForEvent('download'),
                bob.locator('ul#attachments a', { hasText: f.name }).first().click()]);
            got.push({ name: dl.suggestedFilename(), bytes: fs.readFileSync(await dl.path()) });
        }
        check('both files download byte for byte', got.every((g, k) => Buffer.compare(g.bytes, todayFiles[k].buffer) === 0),
              got.map(g => g.bytes.toString('hex')).join(' / '));
        const href = await bob.locator('ul#attachments a', { hasText: todayFiles[1].name }).first().evaluate(a => a.href);
        const disposition = (await bob.request.get(href)).headers()['content-disposition'];
        check('the downloads keep their names (the Korean one as saved, the quoted one in filename*)',
              got[0].name === todayFiles[0].name && extendedName(disposition) === todayFiles[1].name,
              `${got[0].name}; ${disposition}`);
        await Promise.all([bob.waitForNavigation(), bob.click('#reply')]);
        const reply = await bob.inputValue('#subject');
        await bob.goBack();
        await Promise.all([bob.waitForNavigation(), bob.click('#forward')]);
        const forward = await bob.inputValue('#subject');
        check('reply and forward keep the subject\'s characters',
              reply === `Re: ${utf8Subject}` && forward === `Fw: ${utf8Subject}`, JSON.stringify([reply, forward]));
        let long = null;
        for (let i = 0; i < 20 && !long; i++) {
            long = await findMessage(bob, `긴 제목 ${today}`);
            if (!long) await bob.waitForTimeout(500);
        }
        if (!long) throw new Error('no 300-character subject in bob\'s inbox');
        await bob.goto(`${base}/inbox.asp`);
        const top = await bob.locator('table#inbox tr.message td.subject a').allInnerTexts();
        check('the inbox lists the newest first', top[0] === longSubject && top[1] === utf8Subject,
              JSON.stringify(top.slice(0, 2)));
        long = await findMessage(bob, `긴 제목 ${today}`);
        await Promise.all([bob.waitForNavigation(), long.click()]);
        const longShown = await bob.locator('#subject').innerText();
        const dots = (await bob.locator('#body').innerText()).replace(/\r/g, '').replace(/\n+$/, '');
        check('a 300-character subject reads back exactly', longShown === longSubject,
              `${Array.from(longShown).length} characters: ${JSON.stringify(longShown)}`);
        check('lines that start with a dot read back as typed', dots === dotBody, JSON.stringify(dots));
        await bobContext.close();
    });

    await step('To, Cc and Bcc in the store', async () => {
        const ref = `ref-u-${today}`;
        const copies = {};
        for (const user of ['bob', 'wangming', 'alice']) copies[user] = await deliveredTo(user, ref);
        check('the To, Cc and Bcc recipients each get a copy; bob, named twice, one',
              Object.values(copies).every(f => f !== null) && copiesOf('bob', ref).length === 1,
              `${JSON.stringify(copies)}; bob ${copiesOf('bob', ref).length}`);
        const raws = Object.values(copies).filter(Boolean).map(f => fs.readFileSync(f));
        const heads = raws.map(r => r.subarray(0, r.indexOf('\r\n\r\n')).toString('latin1'));
        check('the copies name the Cc recipient but never the Bcc ones, in ASCII header lines',
              heads.every(h => /^Cc: wangming@localhost\r?$/m.test(h) && !/^bcc:/im.test(h) &&
                          !/alice@localhost|BOB@localhost/.test(h.replace(/^From: .*$/m, '')) && !/[^\x00-\x7f]/.test(h)),
              heads[0]);
        const long = copiesOf('bob', `ref-l-${today}`).map(f => fs.readFileSync(f).toString('latin1'));
        check('a collected message ends before its end-of-data line, its dots undone',
              long.length === 1 && !/\r\n\.\r\n$/.test(raws[0].toString('latin1')) &&
              long[0].endsWith(`\r\n.\r\n..two dots\r\n.one dot\r\nlast line\r\n`),
              JSON.stringify(long.map(t => t.slice(-60))));
    });

    // The compose form posts UTF-8, the charset the message is written in:
    // Chinese typed into it arrives readable, with script (compose.js posts
    // the form's FormData) and without.
    for (const script of [true, false]) {
        const name = `Chinese text composed ${script ? 'with' : 'without'} script arrives readable`;
        await step(name, async () => {
            const chineseContext = await browser.newContext({ javaScriptEnabled: script });
            const writer = await chineseContext.newPage();
            await signIn(writer, 'alice', 'wonderland');
            const chineseSubject = `会议纪要 ${Date.now()} ${script}`;
            const chineseBody = '各位好：\n会议改到星期三下午三点。\n王明';
            await writer.goto(`${base}/compose.asp`);
            await writer.fill('form#compose [name=To]', 'alice@localhost');
            await writer.fill('form#compose [name=Subject]', chineseSubject);
            await writer.fill('form#compose [name=Body]', chineseBody);
            await writer.click('#send');
            const result = await writer.locator('#result').innerText({ timeout: 60000 });
            let link = null;
            for (let i = 0; i < 20 && !link && /sent/i.test(result); i++) {
                link = await findMessage(writer, chineseSubject);
                if (!link) await writer.waitForTimeout(500);
            }
            const shown = link && await link.innerText();
            let body = null;
            if (link) {
                await Promise.all([writer.waitForNavigation(), link.click()]);
                body = (await writer.locator('#body').innerText()).replace(/\r/g, '').trim();
            }
            check(name, shown === chineseSubject && body === chineseBody,
                  `result ${JSON.stringify(result)}, subject ${JSON.stringify(shown)}, body ${JSON.stringify(body)}`);
            await chineseContext.close();
        });
    }

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

    if (process.env.TARNWICK_BROWSER_FLOOD) {
        await step('a signed-in session outlives anonymous sign-in page views', async () => {
            const http = require('http');
            const agent = new http.Agent({ keepAlive: true });
            const once = () => new Promise((resolve, reject) =>
                http.get(`${base}/default.asp`, { agent }, r => { r.resume(); r.on('end', resolve); }).on('error', reject));
            for (let i = 0; i < 10050; i++) await once();
            agent.destroy();
            await page.goto(`${base}/inbox.asp`);
            check('a signed-in session outlives 10,050 anonymous sign-in page views',
                  /inbox\.asp/.test(page.url()), `at ${page.url()}`);
        });
    }

    await step('sign out', async () => {
        const get = await page.request.get(`${base}/signout.asp`, { maxRedirects: 0 });
        const bare = await page.request.post(`${base}/signout.asp`, { form: {}, maxRedirects: 0 });
        await page.goto(`${base}/inbox.asp`);
        check('signing out takes a POST with the form token (GET 405, no token 403)',
              get.status() === 405 && bare.status() === 403 && /inbox\.asp/.test(page.url()),
              `GET ${get.status()}, POST ${bare.status()}, then at ${page.url()}`);
        await Promise.all([page.waitForNavigation(), page.click('#signout')]);
        await page.goto(`${base}/inbox.asp`);
        check('the Sign out button signs out', /default\.asp/.test(page.url()) &&
              (await page.locator('form#signin').count()) === 1, `at ${page.url()}`);
    });

    await browser.close();
    console.log(`${passed} passed, ${failed} failed`);
    process.exit(failed ? 1 : 0);
})().catch(e => {
    console.log(`not ok browser tests # ${e && e.message}`);
    console.log(`${passed} passed, ${failed + 1} failed`);
    process.exit(1);
});
