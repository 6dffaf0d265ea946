#!/usr/bin/env bash
# Fails when a text the window shows would reach an English reader in
# Japanese: a source text of the translation file that has no finished
# English translation after lupdate has scanned the tree, or a Japanese
# string literal in src/ that is not marked for translation.
# Usage: scripts/check-translations.sh [LUPDATE]
set -euo pipefail
cd "$(dirname "$0")/.."
lupdate=${1:-$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

for ts in translations/*.ts; do
    cp "$ts" "$work/check.ts"
    "$lupdate" -silent -locations none -no-obsolete src -ts "$work/check.ts" >/dev/null
    # lupdate marks a new or changed source text "unfinished"; an empty
    # translation is as bad.
    if grep -n -B2 -E 'type="unfinished"|<translation></translation>|<translation/>' "$work/check.ts" |
        grep '<source>' | sed "s|^|$ts: untranslated: |"; then
        status=1
    fi
done

# Japanese literals must go through tr(), QCoreApplication::translate() or
# QT_TRANSLATE_NOOP(). Lines that are comments or go on with a literal begun
# on the line before, and the font family names
# the window asks for (data, not text), are not texts the user reads.
if grep -rnP '"[^"]*[\x{3000}-\x{30ff}\x{ff00}-\x{ffef}\x{4e00}-\x{9fff}]' src --include='*.cpp' --include='*.h' |
    grep -vP '^[^:]+:\d+:\s*(//|\*|")' |
    grep -vP '(\btr|translate|QT_TRANSLATE_NOOP)\(\s*("[^"]*",\s*)?"[^"]*[\x{3000}-\x{30ff}\x{ff00}-\x{ffef}\x{4e00}-\x{9fff}]' |
    grep -v 'not-translated:' | sed 's|^|not marked for translation: |'; then
    status=1
fi
exit $status
