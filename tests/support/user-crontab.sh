#!/bin/sh
# Stands in for crontab(1) in tests: the user's table is the file
# $RECIPLEX_TEST_CRONTAB_FILE instead of the system's spool, so a test never
# changes the machine's cron. Takes what the scheduler uses: -l and -.
table=${RECIPLEX_TEST_CRONTAB_FILE:?}
case "$1" in
  -l) if [ -f "$table" ]; then cat "$table"; else echo "no crontab for $(id -un)" >&2; exit 1; fi ;;
  -) cat > "$table" ;;
  *) echo "usage: crontab -l | crontab -" >&2; exit 2 ;;
esac
