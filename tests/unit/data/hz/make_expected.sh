#!/bin/sh
# Regenerates the expected GB2312 bytes of the HZ samples in the shared
# corpus (tests/data/corpus) from their UTF-8 twins. Run from anywhere:
#   sh tests/unit/data/hz/make_expected.sh tests/data/corpus
set -eu
corpus=${1:?usage: make_expected.sh CORPUS_DIR}
here=$(dirname "$0")
iconv -f UTF-8 -t GB2312 "$corpus/hz/cpython-cjkencodings/hz-utf8.txt" >"$here/cpython-hz.gb2312"
iconv -f UTF-8 -t GB2312 "$corpus/hz/go-text/sunzi-bingfa-gb-levels-1-and-2-utf-8.txt" >"$here/sunzi-bingfa-hz.gb2312"
