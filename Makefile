BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test run bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Every test, then every test again built with AddressSanitizer and UndefinedBehaviorSanitizer.
test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-sanitize

# Opens the program on the embedded demo database (created on first use), building the program
# and nothing else. Without a display it runs under a virtual X server, which only makes sense for
# screenshots.
run: configure
	@echo "Building talvor-search (the first build takes a few minutes)..."
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

# Two libFuzzer targets (clang), each run for FUZZ_SECONDS: the engine, fed arbitrary text as one
# statement, and the server's packet parser, fed arbitrary bytes as a client's messages. New inputs
# go to $(FUZZ_BUILD)/corpus and $(FUZZ_BUILD)/packets-corpus; the committed seeds in fuzz/corpus
# and fuzz/packets-corpus are only read. A finding is written to $(FUZZ_BUILD)/ and stops the run.
# Engine inputs stay under 1 KiB: longer ones mostly find the parser's unlimited nesting again
# (tests/hardening/tst_fuzzfindings.cpp). `make fuzz-session` or `make fuzz-packets` runs one.
FUZZ_SECONDS ?= 60
FUZZ_BUILD ?= build-fuzz
FUZZ_CXX ?= clang++
.PHONY: fuzz fuzz-deps fuzz-session fuzz-packets
fuzz: fuzz-session fuzz-packets

fuzz-session: $(FUZZ_BUILD)/talvor-fuzz-session
	@mkdir -p $(FUZZ_BUILD)/corpus
	TMPDIR=$${TMPDIR:-/tmp} $(FUZZ_BUILD)/talvor-fuzz-session -max_total_time=$(FUZZ_SECONDS) -timeout=30 \
		-rss_limit_mb=2048 -max_len=1024 -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/ \
		$(FUZZ_BUILD)/corpus fuzz/corpus

fuzz-packets: $(FUZZ_BUILD)/talvor-fuzz-packets
	@mkdir -p $(FUZZ_BUILD)/packets-corpus
	$(FUZZ_BUILD)/talvor-fuzz-packets -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
		-rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/packets- \
		$(FUZZ_BUILD)/packets-corpus fuzz/packets-corpus

fuzz-deps:
	@scripts/install-deps fuzz

# One object per source file, so that `make -j` builds them side by side.
FUZZ_FLAGS = -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -Isrc
FUZZ_OBJECTS = $(patsubst %.cpp,$(FUZZ_BUILD)/obj/%.o,$(wildcard src/tsql/*.cpp) fuzz/SessionFuzzer.cpp)
# The packet parser needs the engine's types and values only, and no TLS.
FUZZ_PACKET_OBJECTS = $(patsubst %.cpp,$(FUZZ_BUILD)/obj/%.o,$(filter-out src/tds/Tls.cpp,$(wildcard src/tds/*.cpp)) \
	src/tsql/Types.cpp src/tsql/Value.cpp fuzz/PacketFuzzer.cpp)
$(FUZZ_BUILD)/obj/%.o: %.cpp $(wildcard src/tsql/*.h src/tds/*.h) | fuzz-deps
	@mkdir -p $(dir $@)
	$(FUZZ_CXX) $(FUZZ_FLAGS) -c $< -o $@

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
