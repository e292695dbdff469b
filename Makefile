BUILD ?= build
# ccache (when installed) hashes paths relative to this checkout, so every clone shares one cache.
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= 1
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: all deps test-deps configure build test run bench clean

all: build

deps:
	@scripts/install-deps

# The package checks of the tests need lintian and desktop-file-validate; nothing else does.
test-deps:
	@scripts/install-deps test

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Every test, then every test again built with AddressSanitizer and UndefinedBehaviorSanitizer.
test: test-deps build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-sanitize

# Opens the program on the embedded demo database (created on first use), building the program
# and nothing else (measured: 145 s from an empty build folder on a busy two-core machine). Without
# a display it runs under a virtual X server, which only makes sense for screenshots.
run: configure
	@echo "Building talvor-search only: the first build takes two to three minutes on two cores, later ones seconds."
	@cmake --build $(BUILD) -j $(JOBS) --target talvor-search
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then $(BUILD)/bin/talvor-search; \
	else echo "No display found: starting under xvfb-run."; xvfb-run -a $(BUILD)/bin/talvor-search; fi

# Figures on a 1,000,000-patient database, made on first use in $(BUILD)/bench-db (about 2 GB,
# some 20 minutes on two cores) and kept. BENCH_ARGS passes options, e.g. BENCH_ARGS="--runs 50 --explain".
BENCH_ARGS ?=
bench: configure
	@cmake --build $(BUILD) -j $(JOBS) --target talvor-bench
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/talvor-bench --folder $(BUILD)/bench-db $(BENCH_ARGS)

# A Debian package of the program (CPack), in $(BUILD)/: installs with `sudo apt install ./talvor-search_*.deb`.
.PHONY: package
package: build
	@cmake --build $(BUILD) --target package

# The whole project again with AddressSanitizer and UndefinedBehaviorSanitizer in its own folder;
# every test runs under them and any report fails the run. Leaks inside Qt's and the system's
# libraries are set aside by tests/hardening/lsan.supp.
ASAN_BUILD ?= build-asan
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/hardening/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
.PHONY: test-sanitize
test-sanitize: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DTALVOR_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 900

# libFuzzer (clang), each run for FUZZ_SECONDS, one after the other:
#   fuzz-session    the engine, each input one statement (up to 1 KiB), with the T-SQL dictionary;
#   fuzz-long       the same with inputs up to 64 KiB (long texts, deep nesting), its own corpus;
#   fuzz-batch      each input a whole batch (variables, control flow, transactions);
#   fuzz-structure  each input read as choices that build nested expressions (fuzz/Generator.cpp);
#   fuzz-packets    the server's packet parser, fed arbitrary bytes as a client's messages.
# A statement that runs past its second is cancelled by the engine; one that outlives the
# cancel by FUZZ_TIMEOUT seconds is a finding, as is any crash, sanitizer report, use of more than
# 2 GB, or a row showing what only SQLite's own tables hold. New inputs go to $(FUZZ_BUILD)/;
# the committed seeds in fuzz/corpus and fuzz/packets-corpus are only read. A finding is written
# to $(FUZZ_BUILD)/ and stops that run.
FUZZ_SECONDS ?= 60
FUZZ_TIMEOUT ?= 5
# Built expressions nest REPLICATE into values of 100 MB and more per row; copying those under the
# sanitizers takes seconds and outlives the cancel, which is checked between SQLite's steps.
FUZZ_STRUCTURE_TIMEOUT ?= 30
FUZZ_BUILD ?= build-fuzz
# Scratch databases in memory where the machine has it: a disk's sync under load is no finding.
FUZZ_TMPDIR ?= $(shell test -w /dev/shm && echo /dev/shm || echo $${TMPDIR:-/tmp})
FUZZ_CXX ?= clang++
FUZZ_CCACHE ?= $(shell command -v ccache)
FUZZ_RUN = -max_total_time=$(FUZZ_SECONDS) -timeout=$(FUZZ_TIMEOUT) -rss_limit_mb=2048 -print_final_stats=1
.PHONY: fuzz fuzz-deps fuzz-session fuzz-long fuzz-batch fuzz-structure fuzz-packets
fuzz: fuzz-session fuzz-long fuzz-batch fuzz-structure fuzz-packets

fuzz-session: $(FUZZ_BUILD)/talvor-fuzz-session
	@mkdir -p $(FUZZ_BUILD)/corpus
	TMPDIR=$(FUZZ_TMPDIR) $(FUZZ_BUILD)/talvor-fuzz-session $(FUZZ_RUN) -max_len=1024 -dict=fuzz/tsql.dict \
		-artifact_prefix=$(FUZZ_BUILD)/ $(FUZZ_BUILD)/corpus fuzz/corpus

fuzz-long: $(FUZZ_BUILD)/talvor-fuzz-session
	@mkdir -p $(FUZZ_BUILD)/long-corpus
	TMPDIR=$(FUZZ_TMPDIR) $(FUZZ_BUILD)/talvor-fuzz-session $(FUZZ_RUN) -max_len=65536 -dict=fuzz/tsql.dict \
		-artifact_prefix=$(FUZZ_BUILD)/long- $(FUZZ_BUILD)/long-corpus fuzz/corpus

fuzz-batch: $(FUZZ_BUILD)/talvor-fuzz-session
	@mkdir -p $(FUZZ_BUILD)/batch-corpus
	TMPDIR=$(FUZZ_TMPDIR) TALVOR_FUZZ_MODE=batch $(FUZZ_BUILD)/talvor-fuzz-session $(FUZZ_RUN) -max_len=4096 \
		-dict=fuzz/tsql.dict -artifact_prefix=$(FUZZ_BUILD)/batch- $(FUZZ_BUILD)/batch-corpus fuzz/corpus

fuzz-structure: $(FUZZ_BUILD)/talvor-fuzz-session
	@mkdir -p $(FUZZ_BUILD)/structure-corpus
	TMPDIR=$(FUZZ_TMPDIR) TALVOR_FUZZ_MODE=structure $(FUZZ_BUILD)/talvor-fuzz-session $(FUZZ_RUN) \
		-timeout=$(FUZZ_STRUCTURE_TIMEOUT) -max_len=4096 \
		-artifact_prefix=$(FUZZ_BUILD)/structure- $(FUZZ_BUILD)/structure-corpus

fuzz-packets: $(FUZZ_BUILD)/talvor-fuzz-packets
	@mkdir -p $(FUZZ_BUILD)/packets-corpus
	$(FUZZ_BUILD)/talvor-fuzz-packets $(FUZZ_RUN) -max_len=65536 -artifact_prefix=$(FUZZ_BUILD)/packets- \
		$(FUZZ_BUILD)/packets-corpus fuzz/packets-corpus

fuzz-deps:
	@scripts/install-deps fuzz

# One object per source file, so that `make -j` builds them side by side.
FUZZ_FLAGS = -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -Isrc
FUZZ_OBJECTS = $(patsubst %.cpp,$(FUZZ_BUILD)/obj/%.o,$(wildcard src/tsql/*.cpp) fuzz/SessionFuzzer.cpp fuzz/Generator.cpp)
# The packet parser needs the engine's types and values only, and no TLS.
FUZZ_PACKET_OBJECTS = $(patsubst %.cpp,$(FUZZ_BUILD)/obj/%.o,$(filter-out src/tds/Tls.cpp,$(wildcard src/tds/*.cpp)) \
	src/tsql/Types.cpp src/tsql/Value.cpp fuzz/PacketFuzzer.cpp)
$(FUZZ_BUILD)/obj/%.o: %.cpp $(wildcard src/tsql/*.h src/tds/*.h fuzz/*.h) | fuzz-deps
	@mkdir -p $(dir $@)
	$(FUZZ_CCACHE) $(FUZZ_CXX) $(FUZZ_FLAGS) -c $< -o $@

$(FUZZ_BUILD)/talvor-fuzz-session: $(FUZZ_OBJECTS)
	$(FUZZ_CXX) $(FUZZ_FLAGS) $^ $$(pkg-config --libs sqlite3 libsodium) -o $@

$(FUZZ_BUILD)/talvor-fuzz-packets: $(FUZZ_PACKET_OBJECTS)
	$(FUZZ_CXX) $(FUZZ_FLAGS) $^ -o $@

# Not part of make test: 10,000 searches, lists and opens in turn on the demo database; fails when
# resident memory grows more than 10% after the first 100. SOAK_STEPS changes the count.
SOAK_STEPS ?= 10000
.PHONY: soak
soak: configure
	@cmake --build $(BUILD) -j $(JOBS) --target talvor_soak
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/talvor_soak $(SOAK_STEPS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
