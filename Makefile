# One-command entry points. Each target installs missing Debian packages,
# configures and builds before it runs.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
OUT        ?= out
JOBS       ?= 2

.PHONY: all deps build test test-sanitize check demo bench fuzz install clean

all: build

deps:
	@tools/ensure-deps.sh

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The test suite (what CI runs first).
test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The same tests built with address and undefined-behaviour sanitizers.
test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCTRLSCH_SANITIZE=ON -DCTRLSCH_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

check: test test-sanitize

# Draws a motor starter with (ylthz) and continues it with (yltbj) in a
# second session (out/demo), renders a sample drawing (made by ezdxf) to
# SVG, runs a session of the command line with the module loaded, and
# prints the equipment table of a generated project.
demo: build
	@mkdir -p $(OUT)
	$(BUILD)/src/app/ctrlsch demo $(OUT)/demo
	/usr/bin/python3 tests/tools/make_render_sample.py $(OUT)/sample.dxf
	$(BUILD)/src/app/ctrlsch render $(OUT)/sample.dxf $(OUT)/sample.svg
	@echo "wrote $(OUT)/sample.svg"
	$(BUILD)/src/app/ctrlsch run tests/e2e/module_in_two_drawings.scr -o $(OUT)/session.dxf
	@echo "wrote $(OUT)/session.dxf"
	$(BUILD)/src/app/ctrlsch install $(abspath $(OUT))/install
	/usr/bin/python3 tests/tools/make_project.py $(abspath $(OUT))/project
	printf 'OPEN %s\n(esbbtj 0)\n(esbbtj 1)\n' $(abspath $(OUT))/project/A.dxf > $(OUT)/project/statistics.scr
	CTRLSCH_SETTINGS=$(abspath $(OUT))/project/settings.json $(BUILD)/src/app/ctrlsch run $(OUT)/project/statistics.scr
	$(BUILD)/src/app/ctrlsch table --project $(abspath $(OUT))/project/settings.json -o $(OUT)/project/table.xlsx
	@echo "wrote $(OUT)/project/table.xlsx"
	@# The project is made with problems to find: status 1 is the answer expected.
	$(BUILD)/src/app/ctrlsch check --project $(abspath $(OUT))/project/settings.json; test $$? -eq 1

# Load and save speed against ezdxf on the same generated drawing; drawing
# it as SVG and PDF against loading it; the equipment statistics over a
# generated project against loading it and against ezdxf.
bench: build
	bench/run_dxf_bench.sh $(BUILD)/bench/dxf_bench
	bench/run_esbbtj_bench.sh $(BUILD)/bench/esbbtj_bench
	bench/run_check_bench.sh $(BUILD)
	$(BUILD)/bench/render_bench
	$(BUILD)/bench/selection_bench
	$(BUILD)/bench/recognize_bench
	$(BUILD)/bench/placement_bench
	$(BUILD)/bench/symbol_list_bench
	$(BUILD)/bench/latency_bench

# Fuzzes every reader with libFuzzer (clang), one target after the other:
# each for FUZZ_SECONDS, or for FUZZ_RUNS executions when that is given;
# FUZZ_TARGETS picks some, FUZZ_FLAGS adds libFuzzer options. Seeds are
# made first with the program itself and ezdxf (FUZZ_BUILD/seeds); corpora
# grow in FUZZ_BUILD/corpus/TARGET, crash inputs land in
# FUZZ_BUILD/artifacts. Ends with one line per target:
# "TARGET: N executions (R exec/s)".
FUZZ_SECONDS ?= 60
FUZZ_RUNS    ?=
FUZZ_FLAGS   ?=
FUZZ_TARGETS ?= dxf dxf_file slide slide_file listfile listfile_file lisp settings
CCACHE_LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fuzz:
	@CTRLSCH_WITH_CLANG=1 tools/ensure-deps.sh
	CXX=clang++ CC=clang cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCTRLSCH_FUZZ=ON -DCTRLSCH_BENCH=OFF $(CCACHE_LAUNCHER)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	fuzz/make-seeds.sh $(FUZZ_BUILD)/src/app/ctrlsch $(FUZZ_BUILD)/seeds
	FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_RUNS=$(FUZZ_RUNS) FUZZ_FLAGS="$(FUZZ_FLAGS)" fuzz/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_TARGETS)

# Installs the programs, the module and the documents under PREFIX (bin/,
# lib/ctrlsch/, share/doc/ctrlsch/); DESTDIR=... stages them, as for a
# package. The installed programs find each other relative to bin/.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(OUT)
