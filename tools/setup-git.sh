#!/usr/bin/env bash
# Registers the translation-file merge driver in this clone (git keeps drivers out of the history).
set -euo pipefail
cd "$(dirname "$0")/.."
git config merge.tsmerge.name "Qt translation files, message by message"
git config merge.tsmerge.driver "python3 tools/ts-merge.py %O %A %B"
