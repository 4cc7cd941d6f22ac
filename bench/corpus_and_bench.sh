# Sourced by the library's benches: the generated messenger database of $size MB in
# $corpus (made once, kept between runs) and a Release build of azip_bench.
# Needs $root and $size; sets $bench and $corpus.
bench=$root/build/bench
corpus=$bench/corpus-$size
if [ ! -f "$corpus/.complete" ]; then
    rm -rf "$corpus"
    python3 "$root/bench/make_corpus.py" --size-mb "$size" --out "$corpus" >&2
    touch "$corpus/.complete"
fi
cmake -S "$root" -B "$bench/host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$bench/host" -j2 --target azip_bench >/dev/null
