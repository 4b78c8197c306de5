# The two commands of the README: `make run` runs Veska, `make test` builds and passes every
# test. Both install what is missing first (scripts/setup).
JOBS ?= 2
# ccache hits across clones in other folders (CI builds a fresh clone each time).
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

.PHONY: setup run test build bench tidy format clean

setup:
	@scripts/setup

run: setup
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS) --target veska
	@exec build/release/veska

build: setup
	@cmake --preset debug >/dev/null
	@cmake --build --preset debug -j $(JOBS)

test: setup
	@cmake --preset ci >/dev/null
	@cmake --build --preset ci -j $(JOBS)
	@ctest --preset ci -j $(JOBS) --timeout 300

bench: setup
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)
	@for b in build/release/bench/bench_*; do echo "== $$b"; $$b --benchmark_min_time=0.2; done

tidy: setup
	@cmake --preset debug >/dev/null
	@git ls-files 'src/*.cpp' | xargs -r -P $(JOBS) -n 4 clang-tidy-19 -p build/debug --quiet

format:
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format-19 -i

clean:
	@rm -rf build
