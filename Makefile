# The two commands of the README: `make run` and `make test`.
.PHONY: run test deps build-release build-dev build-asan build-tsan test-dev test-asan test-tsan \
	install clean format format-check lint bench bench-large build-fuzz fuzz deb deb-check \
	translations

JOBS ?= $(shell nproc)
CLANG_FORMAT ?= clang-format-14

# Every package building and testing need (tools/install-deps.sh build and test list them).
deps:
	@./tools/install-deps.sh all

# The program alone, without the tests; it installs nothing, so make install and make deb run
# in a packager's sandbox that has only the build dependencies (tools/install-deps.sh build).
build-release:
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

build-dev: deps
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)

build-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)

# ThreadSanitizer on the parallel batches only: the engine's and the command line's tests.
build-tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS)

run: deps
	@$(MAKE) --no-print-directory build-release
	./build/release/src/app/morvelle

test-dev: build-dev
	ctest --preset dev

test-asan: build-asan
	ctest --preset asan

test-tsan: build-tsan
	ctest --preset tsan

build-fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

# Each fuzz target for a fixed number of runs (FUZZ_SCALE multiplies them); the hour-long run
# is in docs/hardening.md.
FUZZ_SCALE ?= 1
fuzz: build-fuzz
	./tests/fuzz/run build/fuzz --scale $(FUZZ_SCALE)

# clang-tidy over the project's own sources (.clang-tidy); 6 minutes on two idle cores, so
# not part of make test: .ci/run runs it beside it.
lint: build-dev
	run-clang-tidy-14 -p build/dev -quiet -j $(JOBS) '$(CURDIR)/(src|components|tests|tools|bench)/'

# Fails on any file clang-format would change (tools/cxx-sources lists them, fails on none).
format-check:
	@./tools/cxx-sources >/dev/null
	./tools/cxx-sources | xargs $(CLANG_FORMAT) --dry-run -Werror

# Every suite runs even if an earlier one fails, so one report shows everything.
test: deps
	@status=0; \
	$(MAKE) --no-print-directory format-check || status=1; \
	$(MAKE) --no-print-directory test-dev || status=1; \
	$(MAKE) --no-print-directory test-asan || status=1; \
	$(MAKE) --no-print-directory test-tsan || status=1; \
	$(MAKE) --no-print-directory fuzz || status=1; \
	exit $$status

# morvelle-batch beside perl, sed, iconv and nkf; writes docs/performance.md. Not part of test.
bench:
	./bench/run-all

# The same, with the memory of one 2 GB file besides (several minutes more, 6 GB of disk).
bench-large:
	BENCH_LARGE=2048 ./bench/run-all

install: build-release
	cmake --install build/release --prefix $(or $(PREFIX),/usr/local)

# The Debian package of the release build, in build/release/package/.
deb: build-release
	rm -f build/release/package/morvelle_*.deb
	cd build/release && cpack -G DEB
	@ls build/release/package/morvelle_*.deb

# lintian and appstreamcli on the package, then installs it, checks what it installed and
# removes it (needs root). Not part of test. Unlike make deb it installs what it needs.
deb-check: deps
	@$(MAKE) --no-print-directory deb
	./tools/deb-check build/release/package/morvelle_*.deb

# Refreshes morvelle-batch's translation from the sources; new texts come in unfinished, and the
# test Translations.EveryTextHasEnglish fails until they are translated.
translations:
	./tools/translations update

format:
	@./tools/cxx-sources >/dev/null
	./tools/cxx-sources | xargs $(CLANG_FORMAT) -i

clean:
	rm -rf build
