# The README's two commands, run and test, each install what is missing first.
# The configurations are CMake presets, built in build/NAME. run and screenshots
# take the i686 program, or the x86_64 one where i686 cannot run, and say so.
program = cfg=$$(bash -c '. cmake/wine-env.sh && program_config "$(1)"') && \
	$(MAKE) --no-print-directory build-$$cfg && cmake/$(2).sh $$cfg

.PHONY: run test coverage bench build setup screenshots dist check-reproducible accuracy test-debian12 test-debian13

run: setup
	@$(call program,Running,run-app)
test: setup
	@$(MAKE) --no-print-directory build && cmake/run-tests.sh
# Which lines of the program the Windows tests run: the x86_64 tests again in
# a build counted by gcov (build/coverage), then gcovr's report (cmake/coverage.sh).
coverage: setup
	@cmake/setup.sh gcovr && $(MAKE) --no-print-directory build-coverage && cmake/coverage.sh
bench: setup
	@$(MAKE) --no-print-directory build && bench/run.sh
# The README's pictures, docs/window.png and docs/converted.png.
screenshots: setup
	@$(call program,Pictures of,screenshots)
setup:
	@cmake/setup.sh

# The release for Windows users, dist/zunkabell-VERSION.zip and dist/SHA256SUMS:
# the program alone of each Windows configuration, zipped and checked.
dist: setup
	@$(MAKE) --no-print-directory build-i686 build-x86_64 BUILD_TARGET=zunkabell && python3 cmake/dist.py build
# dist built twice, from clones of the current commit in two temporary
# folders, must give the same bytes (several minutes; not part of make test).
check-reproducible: setup
	@cmake/check-reproducible.sh
# make test on a Debian release, whichever this host runs: in a tree of that
# release kept in /var/cache/zunkabell (made the first time), on a fresh clone
# of HEAD, as root in a chroot. PRETEND_NO_I686=1 and the like go along.
test-debian12 test-debian13: test-debian%:
	@cmake/debian-release.sh $* test

build: build-native build-i686 build-x86_64
build-%:
	@[ -f build/$*/build.ninja ] || cmake --preset $* >/dev/null
	@cmake --build --preset $* $(if $(BUILD_TARGET),--target $(BUILD_TARGET))

# The numeric routines' accuracy against MPFR, the table in bench/README.md:
# a measurement of the native build, a few minutes.
accuracy: setup
	@$(MAKE) --no-print-directory build-native BUILD_TARGET=numeric_accuracy && build/native/numeric_accuracy
