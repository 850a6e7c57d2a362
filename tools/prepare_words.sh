#!/bin/sh
# prepare_words.sh WORDLIST OUT
# The English word list that text readings are corrected against: the words
# of WORDLIST (one a line, as in Debian's wamerican) made only of ASCII
# letters, lower-cased, in byte order, once each.
set -eu
LC_ALL=C grep -x '[A-Za-z]*' "$1" | LC_ALL=C tr 'A-Z' 'a-z' | LC_ALL=C sort -u > "$2.part"
mv "$2.part" "$2"
