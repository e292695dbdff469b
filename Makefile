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

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Opens the program on the embedded demo database (created on first use). Without a display it
# runs under a virtual X server, which only makes sense for screenshots.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then $(BUILD)/bin/talvor-search; \
	else echo "No display found: starting under xvfb-run."; xvfb-run -a $(BUILD)/bin/talvor-search; fi

# Figures on a 1,000,000-patient database, made on first use in $(BUILD)/bench-db (about 2 GB,
# some 20 minutes on two cores) and kept. BENCH_ARGS passes options, e.g. BENCH_ARGS="--runs 50 --explain".
BENCH_ARGS ?=
bench: build
	@if [ -x $(BUILD)/bin/talvor-bench ]; then QT_QPA_PLATFORM=offscreen $(BUILD)/bin/talvor-bench --folder $(BUILD)/bench-db $(BENCH_ARGS); \
	else echo "The benchmark is not built yet."; exit 1; fi

# A Debian package of the program (CPack), in $(BUILD)/: installs with `sudo apt install ./talvor-search_*.deb`.
.PHONY: package
package: build
	@cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD)
