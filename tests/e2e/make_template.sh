#!/usr/bin/env bash
# tests/e2e/make_template.sh — makes the Wine prefix every end-to-end script copies, ahead of the scripts themselves
# (scripts/test.sh runs it in the background while the stages that need no Wine run). Exits non-zero if it could not.
E2E_NAME=make_template
source "$(dirname "$0")/lib.sh"
e2e_prefix_template
status=$?
E2E_FINISHED=1
exit $status
