# A thin layer over the CMake presets, one line per target.
#   make                   build build/bin/nembit and its helpers, no test
#   make run ARGS='...'    build, then run nembit with ARGS
#   make test              the whole test suite, inside a private desktop:
#                          unit and end-to-end tests of the release and
#                          sanitizer builds and of the Windows build under
#                          Wine, end-to-end tests of the build without the
#                          components, a run of every fuzzer
#                          (TEST_FUZZ_SECONDS each), and the naming style over
#                          every source; JOBS=n runs at most n compilers and
#                          n tests at once
#   make bench             benchmarks, which print figures
#   make fuzz              a run of every fuzzer (FUZZ_SECONDS each)
#   make install PREFIX=…  build without the tests and install under PREFIX
#                          (a leading ~/ is the home folder, as in every shell)
#   make uninstall         remove what the last `make install` put in place
#   make package           the Debian packages nembit and libnembit-dev, in build-package/
#   make windows           build-windows/bin/nembit.exe, cross-built with MinGW-w64
#   make windows-package   build-windows/nembit-<version>-win64.zip

PREFIX ?= /usr/local
# zsh, fish and sh leave the ~ of PREFIX=~/... as it stands.
install_prefix = $(abspath $(patsubst ~,$(HOME),$(patsubst ~/%,$(HOME)/%,$(PREFIX))))
FUZZ_SECONDS ?= 20
# The fuzzers' share of make test, which runs as many at once as there are
# processors.
TEST_FUZZ_SECONDS ?= 10
# Warnings are errors in CI.
CONFIGURE_FLAGS := $(if $(filter true,$(CI)),-DCMAKE_COMPILE_WARNING_AS_ERROR=ON)
# $(call build_preset,PRESET[,CONFIGURE OPTIONS[,BUILD OPTIONS]])
build_preset = cmake --preset $(1) --log-level=NOTICE $(CONFIGURE_FLAGS) $(2) && \
	cmake --build --preset $(1) $(3)

.PHONY: all build run test test-default test-sanitize test-minimal test-windows fuzz test-naming \
	bench install uninstall package windows windows-package format tidy clean

all: build
build: ; $(call build_preset,default,,--target nembit_command)
run: build ; ./build/bin/nembit $(ARGS)
test: ; FUZZ_SECONDS=$(TEST_FUZZ_SECONDS) tools/with-desktop tools/test-all
test-default test-sanitize test-minimal test-windows: test-%: ; $(call build_preset,$*) && ctest --preset $*
fuzz: ; $(call build_preset,fuzz) && tools/fuzz $(FUZZ_SECONDS)
test-naming: ; tools/check-names
# The start-up figures where nothing answers, then the desktop's in the test desktop.
bench: build ; tools/bench && tools/with-desktop tools/bench desktop
# libnembit looks for its helpers and files where it is configured to go.
install: ; $(call build_preset,release,-DCMAKE_INSTALL_PREFIX=$(install_prefix)) && \
	cmake --install build-release
uninstall: ; cmake --build build-release --target uninstall
package: ; tools/build-package
windows: ; $(call build_preset,windows)
windows-package: windows ; cmake --build build-windows --target package
format: ; clang-format -i $$(git ls-files '*.cpp' '*.h')
tidy: build ; tools/tidy
clean: ; rm -rf build build-release build-package build-sanitize build-minimal build-fuzz build-windows \
	prefix-*
