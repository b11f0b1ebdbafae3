#!/usr/bin/env bash
# The Group Policy template: each file parses as XML, every string and
# presentation the ADMX names is in each ADML, and the list writes the key the
# program reads.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
policy="$here/../../res/policy"
source "$here/checks.sh"
admx="$policy/tarvemonix.admx"
xpath() { xmllint --xpath "$2" "$1" 2>/dev/null; }
ns='namespace-uri()="http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"'

for file in "$admx" "$policy"/zh-CN/tarvemonix.adml "$policy"/en-US/tarvemonix.adml; do
  check "${file#"$policy"/} is well-formed XML" xmllint --noout "$file"
done
list_key="$(xpath "$admx" 'string(//*[local-name()="list" and '"$ns"']/@key)')"
check "the list writes HKLM\\SOFTWARE\\Policies\\tarvemonix\\BlockList (got '$list_key')" \
  test "$list_key" = 'SOFTWARE\Policies\tarvemonix\BlockList'
check "the policy is the machine's" test "$(xpath "$admx" 'string(//*[local-name()="policy"]/@class)')" = Machine
strings="$(grep -o '\$(string\.[A-Za-z0-9_]*)' "$admx" | sed 's/^\$(string\.//; s/)$//' | sort -u)"
list_id="$(xpath "$admx" 'string(//*[local-name()="list"]/@id)')"
for adml in "$policy"/zh-CN/tarvemonix.adml "$policy"/en-US/tarvemonix.adml; do
  language="$(basename "$(dirname "$adml")")"
  for id in $strings; do
    check "$language has the string $id" test -n "$(xpath "$adml" "string(//*[local-name()='string' and @id='$id'])")"
  done
  check "$language presents the list" \
    test "$(xpath "$adml" "string(//*[local-name()='presentation' and @id='BlockList']/*[local-name()='listBox']/@refId)")" = "$list_id"
done
finish_checks
