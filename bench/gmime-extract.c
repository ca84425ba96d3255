/* The same job as `tarnwick-mail extract -o OUT MESSAGE NAME`, done with
 * GMime 3 (Debian's libgmime-3.0-dev), so that bench/extract-timing.sh can
 * time both in one run. Built by that script only when GMime is installed;
 * nothing of Tarnwick uses it. */
#include <fcntl.h>
#include <gmime/gmime.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: gmime-extract MESSAGE NAME OUT\n");
        return 2;
    }
    g_mime_init();
    GMimeStream* in = g_mime_stream_fs_open(argv[1], O_RDONLY, 0, NULL);
    if (!in) return 1;
    GMimeParser* parser = g_mime_parser_new_with_stream(in);
    GMimeMessage* message = g_mime_parser_construct_message(parser, NULL);
    if (!message) return 1;
    int found = 0;
    GMimePartIter* parts = g_mime_part_iter_new((GMimeObject*)message);
    do {
        GMimeObject* current = g_mime_part_iter_get_current(parts);
        if (!current || !GMIME_IS_PART(current)) continue;
        const char* name = g_mime_part_get_filename((GMimePart*)current);
        if (!name || strcmp(name, argv[2]) != 0) continue;
        GMimeStream* out = g_mime_stream_fs_open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0644, NULL);
        if (!out) return 1;
        g_mime_data_wrapper_write_to_stream(g_mime_part_get_content((GMimePart*)current), out);
        g_mime_stream_flush(out);
        g_object_unref(out);
        found = 1;
        break;
    } while (g_mime_part_iter_next(parts));
    return found ? 0 : 1;
}
