// Sends the compose form with XMLHttpRequest so that a large attachment
// shows how far its upload has come: a progress bar, the bytes sent and the
// percentage. The server's answer (the send page) then replaces this page.
// Without script the form posts as it is.
//
// The form is posted in GBK (its accept-charset), since the message is
// written in that charset as posted. FormData always sends UTF-8, so the
// body is made here the way the browser would post the form itself: text
// in GBK, a character GBK lacks as "&#N;", line breaks as CR LF.
(function () {
    'use strict';
    var form = document.getElementById('compose');
    var box = document.getElementById('upload');
    var bar = document.getElementById('progress');
    var text = document.getElementById('progress-text');
    var button = document.getElementById('send');
    if (!form || !box || !window.Blob || !window.Map || !window.XMLHttpRequest || !('upload' in new XMLHttpRequest()))
        return;
    try {
        new TextDecoder('gbk');
    } catch (e) {
        return;   // no GBK here: the form posts as it is
    }

    // Character -> its two GBK bytes as one number, made once from the
    // browser's own GBK decoder: every lead and trail byte pair is decoded,
    // each followed by a line break. An undecodable pair gives U+FFFD (and
    // its trail byte when that is ASCII), so only single characters count.
    var gbkTable = null;
    function gbkPairs() {
        if (gbkTable) return gbkTable;
        var pairs = [], bytes = [], lead, trail, i, decoded;
        for (lead = 0x81; lead <= 0xfe; lead++) {
            for (trail = 0x40; trail <= 0xfe; trail++) {
                if (trail === 0x7f) continue;
                pairs.push(lead * 256 + trail);
                bytes.push(lead, trail, 0x0a);
            }
        }
        decoded = new TextDecoder('gbk').decode(new Uint8Array(bytes)).split('\n');
        gbkTable = new Map();
        for (i = 0; i < pairs.length; i++) {
            if (decoded[i].length === 1 && decoded[i] !== '\ufffd' && !gbkTable.has(decoded[i]))
                gbkTable.set(decoded[i], pairs[i]);
        }
        return gbkTable;
    }

    function gbk(value) {
        var out = [], ch, c, pair, k, ref;
        for (ch of value.replace(/\r\n|\r|\n/g, '\r\n')) {
            c = ch.codePointAt(0);
            if (c < 0x80) {
                out.push(c);
            } else if (c === 0x20ac) {
                out.push(0x80);   // the euro sign: GBK's one byte above ASCII
            } else if ((pair = gbkPairs().get(ch)) !== undefined) {
                out.push(pair >> 8, pair & 0xff);
            } else {
                ref = '&#' + c + ';';
                for (k = 0; k < ref.length; k++) out.push(ref.charCodeAt(k));
            }
        }
        return new Uint8Array(out);
    }

    // A field name or file name inside the part's quoted header value.
    function quoted(name) {
        return name.replace(/"/g, '%22').replace(/\r/g, '%0D').replace(/\n/g, '%0A');
    }

    // The multipart/form-data body of the form, as a Blob.
    function formBody(boundary) {
        var parts = [];
        Array.prototype.forEach.call(form.elements, function (field) {
            var head, files, k, file;
            if (!field.name || field.disabled || /^(submit|button|reset|image)$/.test(field.type) ||
                (/^(checkbox|radio)$/.test(field.type) && !field.checked)) return;
            head = '--' + boundary + '\r\nContent-Disposition: form-data; name="' + quoted(field.name) + '"';
            if (field.type !== 'file') {
                parts.push(gbk(head + '\r\n\r\n' + field.value + '\r\n'));
                return;
            }
            files = field.files.length ? field.files : [null];   // an empty file field still has its part
            for (k = 0; k < files.length; k++) {
                file = files[k];
                parts.push(gbk(head + '; filename="' + quoted(file ? file.name : '') + '"\r\nContent-Type: ' +
                               ((file && file.type) || 'application/octet-stream') + '\r\n\r\n'));
                if (file) parts.push(file);
                parts.push(gbk('\r\n'));
            }
        });
        parts.push(gbk('--' + boundary + '--\r\n'));
        return new Blob(parts);
    }

    function newBoundary() {
        var s = '----TarnwickForm', k;
        for (k = 0; k < 16; k++) s += 'abcdefghijklmnopqrstuvwxyz0123456789'.charAt(Math.floor(Math.random() * 36));
        return s;
    }

    function grouped(n) {
        return String(n).replace(/\B(?=(\d{3})+(?!\d))/g, ',');
    }

    function show(sent, total, note) {
        var percent = total > 0 ? Math.floor(sent * 100 / total) : 0;
        bar.max = total > 0 ? total : 1;
        bar.value = total > 0 ? sent : 0;
        text.textContent = grouped(sent) + ' of ' + grouped(total) + ' bytes sent (' + percent + '%)' +
            (note ? ' ' + note : '');
    }

    form.addEventListener('submit', function (event) {
        event.preventDefault();
        var xhr = new XMLHttpRequest();
        var total = 0;
        xhr.open('POST', form.action);
        xhr.upload.addEventListener('progress', function (e) {
            if (!e.lengthComputable) return;
            total = e.total;
            show(e.loaded, e.total);
        });
        xhr.upload.addEventListener('load', function (e) {
            if (e.lengthComputable) total = e.total;
            show(total, total, '- waiting for the server');
        });
        xhr.addEventListener('load', function () {
            // The answer is a whole page: the result, or an error page.
            document.open();
            document.write(xhr.responseText);
            document.close();
            try {
                if (xhr.responseURL) history.replaceState(null, '', xhr.responseURL);
            } catch (ignored) { /* the address stays */ }
        });
        function failed() {
            text.textContent = 'The message could not be sent: the connection to the server was lost. Try again.';
            button.disabled = false;
        }
        xhr.addEventListener('error', failed);
        xhr.addEventListener('abort', failed);
        button.disabled = true;
        box.hidden = false;
        bar.removeAttribute('value');   // no size known yet: the bar shows activity
        text.textContent = 'Starting to send...';
        var boundary = newBoundary();
        xhr.setRequestHeader('Content-Type', 'multipart/form-data; boundary=' + boundary);
        xhr.send(formBody(boundary));
    });
})();
