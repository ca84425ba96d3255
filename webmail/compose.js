// The Bcc field waits behind its link until it is wanted (or already holds
// something); without script it simply shows, and the link leads to it.
(function () {
    'use strict';
    var link = document.getElementById('show-bcc');
    var row = document.getElementById('bcc-row');
    var field = document.getElementById('bcc');
    if (!link || !row || !field) return;
    if (field.value !== '') {
        link.hidden = true;
        return;
    }
    row.hidden = true;
    link.setAttribute('aria-expanded', 'false');
    link.addEventListener('click', function (event) {
        event.preventDefault();
        row.hidden = false;
        link.hidden = true;
        link.setAttribute('aria-expanded', 'true');
        field.focus();
    });
})();

// Sends the compose form with XMLHttpRequest so that a large attachment
// shows how far its upload has come: a progress bar, the bytes sent and the
// percentage. The server's answer (the send page) then replaces this page.
// Without script the form posts as it is.
//
// FormData posts the form as the browser itself would: text in UTF-8 (the
// form's accept-charset), line breaks as CR LF, a quote in a file name as %22.
(function () {
    'use strict';
    var form = document.getElementById('compose');
    var box = document.getElementById('upload');
    var bar = document.getElementById('progress');
    var text = document.getElementById('progress-text');
    var button = document.getElementById('send');
    if (!form || !box || !window.FormData || !window.XMLHttpRequest || !('upload' in new XMLHttpRequest()))
        return;

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
        xhr.send(new FormData(form));
    });
})();
