#!/usr/bin/env bash
# Writes the starter engine files of the program directory:
# programdir/data/data.ist, datam.ist, catagory.ist and ranking.ist. Every engine points
# at the local sandbox; change SANDBOX (host and port) here and run again.
set -euo pipefail
cd "$(dirname "$0")"

SANDBOX=${SANDBOX:-http://127.0.0.1:8088}
out=programdir/data
mkdir -p "$out"

categories=(Miscellaneous Automotive Business Communications Community Computers Consumer Education Employment
    Entertainment Finance Government Health Internet Manufacturing Media Medical News Opportunities Personal
    Politics Publishing Recreation Reference Religion Sci-Tech Services Transportation Travel Web_Stuff)

# name=Type|SiteUrl|SubmitUrl|Title|Url|Email|Description|Empty|CategoryScheme|Name|Fixed|Last|Company|
#   Address1|Address2|City|State|Zip|Phone|Fax|Method|Keywords|(15 reserved)|Country|
# Each engine submits to one of the sandbox's answers, so an offline run shows
# every result class; the last search, classified and link engines never answer.
answers=(ok ok-noreason found moved ok missing timeout ok error close found stall)

engine_line() {
    local name=$1 type=$2 slug=$3 i=$4
    local answer=${answers[$(( i - 1 ))]}
    [[ $answer == stall && $type != ENGINE && $type != CLASSIFIED && $type != FFA ]] && answer=ok
    local site="$SANDBOX/site/$slug/" submit="$SANDBOX/$answer"
    local method="GET" scheme=$(( i % 2 + 1 )) fixed="" empty=""
    (( i % 2 == 0 )) && method="POST"
    (( i % 3 == 0 )) && fixed="&action=add"
    (( i % 4 == 0 )) && empty="notes"
    local reserved="|||||||||||||||"
    printf '%s=%s|%s|%s|title|url|email|description|%s|%s|first|%s|last|company|address1|address2|city|state|zip|phone|fax|%s|keywords|%scountry|\r\n' \
        "$name" "$type" "$site" "$submit" "$empty" "$scheme" "$fixed" "$method" "$reserved"
}

{
    for i in $(seq -w 1 12); do
        n=$((10#$i))
        engine_line "Sandbox Search $i" "ENGINE" "search$i" "$n"
        engine_line "Sandbox Classifieds $i" "CLASSIFIED" "classified$i" "$n"
        engine_line "Sandbox Links $i" "FFA" "ffa$i" "$n"
        engine_line "Sandbox Batch $i" "BATCH->$(( n * 5 ))" "batch$i" "$n"
        engine_line "Custom Search $i" "Custom->Engine" "custom-search$i" "$n"
        engine_line "Custom Classifieds $i" "Custom->Classified" "custom-classified$i" "$n"
        engine_line "Custom Links $i" "Custom->FFA" "custom-ffa$i" "$n"
    done
    # IndexNow endpoints take only the page and the Project's key, so their
    # parameter fields stay empty. These reach the real search engines; the
    # sandbox's endpoint answers offline.
    indexnow_line() {
        printf '%s=IndexNow|%s|%s|%s\r\n' "$1" "$2" "$3" "$(printf '|%.0s' $(seq 35))"
    }
    indexnow_line "IndexNow.org" "https://www.indexnow.org/" "https://api.indexnow.org/indexnow"
    indexnow_line "Bing IndexNow" "https://www.bing.com/" "https://www.bing.com/indexnow"
    indexnow_line "Yandex IndexNow" "https://yandex.com/" "https://yandex.com/indexnow"
    indexnow_line "Naver IndexNow" "https://searchadvisor.naver.com/" "https://searchadvisor.naver.com/indexnow"
    indexnow_line "Seznam IndexNow" "https://search.seznam.cz/" "https://search.seznam.cz/indexnow"
    indexnow_line "Yep IndexNow" "https://yep.com/" "https://indexnow.yep.com/indexnow"
    indexnow_line "Sandbox IndexNow" "$SANDBOX/" "$SANDBOX/indexnow"
} | LC_ALL=C sort -f >"$out/data.ist"

{
    for i in $(seq -w 1 14); do
        printf 'Manual Directory %s,%s/manual/%s/,%s/manual/%s/add\r\n' "$i" "$SANDBOX" "$i" "$SANDBOX" "$i"
    done
} >"$out/datam.ist"

{
    printf '[Sub1]\r\n'
    for c in "${categories[@]}"; do
        printf '%s=&category=%s\r\n' "$c" "$c"
    done
    printf '[Sub2]\r\n'
    n=100
    for c in "${categories[@]}"; do
        n=$((n + 1))
        printf '%s=&cat_id=%d&section=main\r\n' "$c" "$n"
    done
} >"$out/catagory.ist"

# The rank engines: name|query|match|add|strip|first offset|. Each asks the
# sandbox's search engine, which puts the sample Project's address at the rank
# its "site" and "rank" values choose (or nowhere, or answers 500).
site=http://www.my-sample-site.example/
{
    printf 'Sandbox Search|%s/search?q=$query&start=$page&site=%s&rank=4|<A HREF="$url"|||0|\r\n' "$SANDBOX" "$site"
    printf 'Sandbox Directory|%s/search?q=$query&start=$page&base=1&site=%s&rank=27|$add$url</CITE>|<CITE>|http://|1|\r\n' \
        "$SANDBOX" "$site"
    printf 'Sandbox Web Finder|%s/search?q=$query&start=$page&site=%s&rank=112|<A HREF="$url"|||0|\r\n' "$SANDBOX" "$site"
    printf 'Sandbox Not Listed|%s/search?q=$query&start=$page|<A HREF="$url"|||0|\r\n' "$SANDBOX"
    printf 'Sandbox Broken Engine|%s/search-error?q=$query&start=$page|<A HREF="$url"|||0|\r\n' "$SANDBOX"
} >"$out/ranking.ist"

# One sample Project, so a first run has something to submit.
mkdir -p "$out/session"
printf '[Session]\r\nCount=0\r\n[List]\r\n0=My Sample Site\r\n' >"$out/session/session.zro"
printf '[My Sample Site]\r\nurl=http://www.my-sample-site.example/\r\ntitle=My Sample Site - Handmade Garden Tools\r\nemail=owner@my-sample-site.example\r\ndescription=Handmade garden tools & accessories, forged and finished by hand in small batches.\r\ncatagory=Business\r\nname=Sam\r\nlast=Sample\r\ncompany=Sample Tools Ltd\r\naddress1=1 Forge Lane\r\naddress2=\r\ncountry=United Kingdom\r\ncity=Sheffield\r\nstate=South Yorkshire\r\nphone=+44 114 000 0000\r\nfax=\r\nzip=S1 1AA\r\nkey1=garden tools,handmade,forged,trowel,spade\r\nindexnowkey=244f859245753b4d633cda70eda39fc7\r\n' >"$out/session/My Sample Site.zro"

echo "starter data written to $out for $SANDBOX"
