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

bench: build
	@if [ -x $(BUILD)/bin/talvor-bench ]; then $(BUILD)/bin/talvor-bench --folder $(BUILD)/bench-db; \
	else echo "The benchmark is not built yet."; exit 1; fi

# A Debian package of the program (CPack), in $(BUILD)/: installs with `sudo apt install ./talvor-search_*.deb`.
.PHONY: package
package: build
	@cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD)
