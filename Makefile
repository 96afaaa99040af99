# The two commands of the README. Each installs what is missing first.
CONFIGS := native i686 x86_64

.PHONY: run test bench build setup

run: setup
	@$(MAKE) --no-print-directory build-i686
	@cmake/run-app.sh

test: setup
	@$(MAKE) --no-print-directory build
	@cmake/run-tests.sh

bench: setup
	@$(MAKE) --no-print-directory build
	@bench/run.sh

setup:
	@cmake/setup.sh

build: $(addprefix build-,$(CONFIGS))

build-native:
	@[ -f build/native/build.ninja ] || cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build/native

build-%:
	@[ -f build/$*/build.ninja ] || cmake -S . -B build/$* -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$*.cmake >/dev/null
	@cmake --build build/$*
