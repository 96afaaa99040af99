# The two commands of the README. Each installs what is missing first.
CONFIGS := native i686 x86_64
# Another build folder (make test BUILD=build-mine) gets its own Wine prefix too.
BUILD ?= build
export BUILD_ROOT := $(abspath $(BUILD))

.PHONY: run test bench build setup screenshots dist check-reproducible test-debian12 test-debian13

# The program's build is chosen by the script: i686 where the host runs it.
run: setup
	@cmake/run-app.sh

test: setup
	@$(MAKE) --no-print-directory build
	@cmake/run-tests.sh

bench: setup
	@$(MAKE) --no-print-directory build
	@bench/run.sh

# The release for Windows users, dist/zunkabell-VERSION.zip and dist/SHA256SUMS:
# the program alone of each Windows configuration, zipped and checked.
dist: setup
	@$(MAKE) --no-print-directory build-i686 build-x86_64 BUILD_TARGET=zunkabell
	@python3 cmake/dist.py $(BUILD)

# dist built twice, from clones of the current commit in two temporary
# folders, must give the same bytes (several minutes; not part of make test).
check-reproducible: setup
	@cmake/check-reproducible.sh

# The README's pictures, docs/window.png and docs/converted.png.
screenshots: setup
	@cmake/screenshots.sh

setup:
	@cmake/setup.sh

# make test on a Debian release, whichever this host runs: in a tree of that
# release kept in /var/cache/zunkabell (made the first time), on a fresh clone
# of HEAD, as root in a chroot. PRETEND_NO_I686=1 and the like go along.
test-debian12 test-debian13: test-debian%:
	@cmake/debian-release.sh $* test

build: $(addprefix build-,$(CONFIGS))

build-native:
	@[ -f $(BUILD)/native/build.ninja ] || cmake -S . -B $(BUILD)/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD)/native

build-%:
	@[ -f $(BUILD)/$*/build.ninja ] || cmake -S . -B $(BUILD)/$* -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$*.cmake >/dev/null
	@cmake --build $(BUILD)/$* $(if $(BUILD_TARGET),--target $(BUILD_TARGET))

# The numeric routines' accuracy against MPFR, the table in bench/README.md:
# a measurement of the native build, a few minutes. Configured again so that
# a build folder made before MPFR was installed finds it.
.PHONY: accuracy
accuracy: setup
	@cmake -S . -B $(BUILD)/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD)/native --target numeric_accuracy
	@$(BUILD)/native/numeric_accuracy
