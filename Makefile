# A thin layer over the CMake presets.
#   make                   build build/bin/nembit
#   make run ARGS='...'    build, then run nembit with ARGS
#   make test              the whole test suite: unit and end-to-end tests of
#                          the release, sanitizer and minimal builds, then a
#                          short run of every fuzzer, inside a private desktop
#   make bench             benchmarks, which print figures
#   make fuzz              a longer run of every fuzzer (FUZZ_SECONDS each)
#   make install PREFIX=…  install bin/nembit and share/nembit/ under PREFIX

PREFIX ?= /usr/local
FUZZ_SECONDS ?= 20
# Warnings are errors in CI.
CONFIGURE_FLAGS := $(if $(filter true,$(CI)),-DCMAKE_COMPILE_WARNING_AS_ERROR=ON)
FUZZERS := brace_expansion_fuzz version_fuzz reply_fuzz

.PHONY: all build run test test-all test-default test-sanitize test-minimal fuzz fuzz-smoke \
	bench install format tidy clean

all: build

build:
	cmake --preset default $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset default

run: build
	./build/bin/nembit $(ARGS)

test:
	tools/with-desktop $(MAKE) --no-print-directory test-all

test-all: test-default test-sanitize test-minimal fuzz-smoke

test-default test-sanitize test-minimal: test-%:
	cmake --preset $* $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset $*
	ctest --preset $*

fuzz-smoke:
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(FUZZ_SECONDS)

fuzz:
	cmake --preset fuzz $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset fuzz
	@for fuzzer in $(FUZZERS); do \
	  mkdir -p build-fuzz/corpus/$$fuzzer && \
	  echo "fuzzing $$fuzzer for $(FUZZ_SECONDS) s" && \
	  build-fuzz/fuzz/$$fuzzer -max_total_time=$(FUZZ_SECONDS) -print_final_stats=0 \
	    build-fuzz/corpus/$$fuzzer 2>build-fuzz/$$fuzzer.log || \
	    { tail -n 40 build-fuzz/$$fuzzer.log; exit 1; }; \
	done

bench: build
	tools/bench

install: build
	cmake --install build --prefix $(PREFIX)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

tidy: build
	clang-tidy -p build --quiet $$(git ls-files '*.cpp' | grep -v -e win32_ -e _fuzz.cpp)

clean:
	rm -rf build build-sanitize build-minimal build-fuzz
