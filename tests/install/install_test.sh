#!/usr/bin/env bash
# install_test.sh CMAKE BUILD SOURCE SCRATCH: installs BUILD into a scratch
# prefix, then builds the C example against the installed header and
# libraries four ways and checks each one's certificate.
set -euo pipefail
cmake=$1 build=$2 source=$3 scratch=$4
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch"
stage=$scratch/stage
"$cmake" --install "$build" --prefix "$stage" > install.log

for file in bin/karvona bin/karvona-check include/karvona.h lib/libkarvona.a \
            lib/libkarvona.so.2 lib/pkgconfig/karvona.pc lib/cmake/karvona/karvona-config.cmake; do
    [ -e "$stage/$file" ] || { echo "not installed: $file"; exit 1; }
done
for page in "$source"/man/*.[1-9]; do
    [ -e "$page" ] || continue
    name=$(basename "$page")
    [ -e "$stage/share/man/man${name##*.}/$name" ] || { echo "not installed: $name"; exit 1; }
done
readelf -d "$stage/lib/libkarvona.so.2" | grep -q 'SONAME.*\[libkarvona\.so\.2\]' ||
    { echo "libkarvona.so.2 has no SONAME libkarvona.so.2"; exit 1; }

export PKG_CONFIG_PATH=$stage/lib/pkgconfig
example=$source/examples/api_example.c
cc "$example" $(pkg-config --cflags --libs karvona) -Wl,-rpath,"$stage/lib" -o shared_example
cc "$example" $(pkg-config --cflags karvona) \
    $(pkg-config --static --libs karvona | sed 's/-lkarvona\b/-l:libkarvona.a/') -o static_example
"$cmake" -S "$source/tests/install/consumer" -B consumer -G Ninja -DCMAKE_PREFIX_PATH="$stage" \
    -DEXAMPLE="$example" > consumer.log
"$cmake" --build consumer >> consumer.log
for program in static_example consumer/api_example_static; do
    ! ldd $program | grep -q libkarvona || { echo "$program needs libkarvona.so"; exit 1; }
done

for program in ./shared_example ./static_example ./consumer/api_example \
               ./consumer/api_example_static; do
    status=0
    "$program" "$program.qbc" > /dev/null || status=$?
    [ "$status" = 10 ] || { echo "$program: status $status"; exit 1; }
    status=0
    "$stage/bin/karvona-check" "$source/examples/api_example.qdimacs" "$program.qbc" || status=$?
    [ "$status" = 10 ] || { echo "karvona-check on $program.qbc: status $status"; exit 1; }
done
status=0
"$stage/bin/karvona" "$source/examples/equality.qdimacs" || status=$?
[ "$status" = 10 ] || { echo "installed karvona: status $status"; exit 1; }
echo "installed, and the example built four ways decides and certifies"
