# The two commands a newcomer needs:
#   make run    installs what is missing, builds, and starts the program
#   make test   installs what is missing, builds, and runs every test
# Builds run one at a time (the build lock), as the machine has two cores.

# The build folders are those of the presets in CMakePresets.json.
BUILD      := build
BUILD_SAN  := build-sanitize
BUILD_FUZZ := build-fuzz
JOBS       ?= 2
LOCK       := flock /tmp/doryou-build.lock
CMAKE_ARGS ?=
ifeq ($(CI),true)
  CMAKE_ARGS += -DDORYOU_WERROR=ON
endif

.PHONY: run test deps build package guide-screenshots check check-sanitize bench fuzz format clean

# Without a display the windows cannot open; the command line tool shows the same sample.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  ./$(BUILD)/doryou; \
	else \
	  echo "run: no display (DISPLAY and WAYLAND_DISPLAY are empty), so doryou-cli calc examples/sample-site.msh instead"; \
	  ./$(BUILD)/cli/doryou-cli calc examples/sample-site.msh; \
	fi

test: build
	cd $(BUILD) && ctest --output-on-failure --timeout 120 -j $(JOBS)
ifeq ($(CI),true)
	$(MAKE) check-sanitize
endif

deps:
	@bash scripts/install-deps.sh

# The Debian package: build/doryou_<version>_<arch>.deb (packaging/CMakeLists.txt).
package: build
	$(LOCK) cmake --build --preset release --target package

# The user's guide's screenshots, taken under Xvfb from the sample project (docs/images/).
guide-screenshots: build
	bash scripts/guide-screenshots.sh

build: deps
	@cmake --preset release $(CMAKE_ARGS) >/dev/null
	$(LOCK) cmake --build --preset release

# Every test once more under the address and undefined-behaviour sanitizers (clang), and a
# short run of each fuzzer (project file, LHA archives) over its seeds. The window tests run
# without leak checking: Qt and fontconfig keep their caches until the process ends.
check-sanitize: deps
	@cmake --preset sanitize $(CMAKE_ARGS) >/dev/null
	$(LOCK) cmake --build --preset sanitize
	cd $(BUILD_SAN) && ctest --output-on-failure --timeout 300 -j $(JOBS) -L 'core|fuzz'
	cd $(BUILD_SAN) && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure --timeout 300 -j $(JOBS) -L gui

bench: build
	./$(BUILD)/bench/doryou_bench
	./$(BUILD)/bench/doryou_allocation_bench
	./$(BUILD)/bench/doryou_large_bench
	@if [ -x ./$(BUILD)/bench/doryou_gui_bench ]; then \
	  QT_QPA_PLATFORM=offscreen ./$(BUILD)/bench/doryou_gui_bench; fi
	@if [ -x ./$(BUILD)/bench/doryou_mesh_input_bench ]; then \
	  ./$(BUILD)/bench/doryou_mesh_input_bench; fi
	@if [ -x ./$(BUILD)/bench/doryou_lha_bench ]; then \
	  ./$(BUILD)/bench/doryou_lha_bench; fi
	@if [ -x ./$(BUILD)/bench/doryou_survey_bench ]; then \
	  ./$(BUILD)/bench/doryou_survey_bench --benchmark_filter=Scattered; \
	  ./$(BUILD)/bench/doryou_survey_bench --benchmark_filter=LandXml; fi
	@if [ -x ./$(BUILD)/bench/doryou_map_bench ]; then \
	  ./$(BUILD)/bench/doryou_map_bench; fi

# The fuzzers alone, for long runs by hand (see fuzz/CMakeLists.txt).
fuzz: deps
	@cmake --preset fuzz $(CMAKE_ARGS) >/dev/null
	$(LOCK) cmake --build --preset fuzz

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_FUZZ)
