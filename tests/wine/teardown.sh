#!/bin/sh
# teardown.sh DIR ends what setup.sh started under DIR: the prefixes' Wine
# servers and Xvfb. One wineserver serves prefixes of both widths.
wine_dir=$1
for prefix in "$wine_dir/pristine" "$wine_dir/stand-in"; do
  [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null
done
"$(dirname "$0")/xvfb.sh" stop "$wine_dir"
exit 0
