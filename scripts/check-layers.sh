#!/usr/bin/env bash
# Fails when a lower layer includes a header of a higher one. Qt modules are
# kept apart by the link itself (kolvo_core links QtCore only, so a widget
# header does not even compile there); this catches our own headers, which
# all sit under one include root.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
status=0
check() { # folder, pattern of includes it must not have, what that is
    local hits
    hits=$(grep -rnE "#include *\"($2)/" "$1" || true)
    if [[ -n $hits ]]; then
        echo "layers: $1 includes $3:" >&2
        echo "$hits" >&2
        status=1
    fi
}
check src/core 'ui|document|analysis_ui|main|cli' "a higher layer"
check src/analysis 'ui|document|core|main|cli' "the program's own layers (it stands alone)"
if [[ -d src/document ]]; then
    check src/document 'ui|main|cli' "window code"
fi
if [[ $status -eq 0 ]]; then
    echo "layers: ok"
fi
exit $status
