# The two commands a newcomer needs: `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD?= build-bench
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
PLUGIN_FUZZERS := fuzz_png fuzz_gif fuzz_webp fuzz_tiff fuzz_avif fuzz_heif fuzz_jxl
FUZZERS    := fuzz_bmp fuzz_jpeg fuzz_scanner fuzz_value_tree fuzz_archive_tree fuzz_zip_directory fuzz_archive_plugin fuzz_picture $(PLUGIN_FUZZERS)
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
CMAKE_GEN  := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps build run test install deb asan tsan bench fuzz clean

all: build

deps:
	@tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/selvarin $(ARGS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# DESTDIR (staging) is honoured by cmake --install itself.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

deb: build
	cd $(BUILD) && cpack -G DEB

asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DSELVARIN_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:allow_user_segv_handler=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp ctest --output-on-failure -j $(JOBS)

# The code that runs on more than one thread (the prefetch worker, the decoders and thread-safe
# plug-ins it calls, the memory-handle table they share) under ThreadSanitizer.
TSAN_TESTS := PrefetchCache*:JpegCodec*:BmpCodec*
tsan: deps
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSELVARIN_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target image_tests spi_tests plugin_tests api_tests
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 $(TSAN_BUILD)/bin/image_tests --gtest_filter='$(TSAN_TESTS)'
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 $(TSAN_BUILD)/bin/plugin_tests --gtest_filter='PluginPrefetch*'
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 QT_QPA_PLATFORM=offscreen $(TSAN_BUILD)/bin/api_tests --gtest_filter='PreparedSurface*'
	TSAN_OPTIONS=halt_on_error=1 $(TSAN_BUILD)/bin/spi_tests

bench: deps
	cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DSELVARIN_TESTS=OFF -DSELVARIN_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@for b in $(BENCH_BUILD)/bin/bench_*; do echo "== $$b"; $$b --benchmark_min_time=0.2 || exit 1; done

# Each harness runs FUZZ_SECONDS on its own corpus, seeded from tests/data; a crash is left in
# $(FUZZ_BUILD)/crashes/ and belongs, once fixed, in tests/data/fuzz/<harness>/ for make test.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DSELVARIN_FUZZ=ON -DSELVARIN_TESTS=OFF "-DSELVARIN_MODULES=platform;gfx;image;engine"
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZERS)
	@mkdir -p $(FUZZ_BUILD)/crashes
	@for f in $(FUZZERS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$f; \
	  seeds=tests/data/fuzz/$${f#fuzz_}; [ -d $$seeds ] || seeds=; \
	  case $$f in fuzz_bmp|fuzz_jpeg) extra=tests/data;; fuzz_scanner) extra=tests/lua;; fuzz_zip_directory) extra=tests/data/fuzz/archive_plugin;; *) extra=;; esac; \
	  echo "== $$f ($(FUZZ_SECONDS) s)"; \
	  $(FUZZ_BUILD)/bin/$$f -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -timeout=10 \
	    -artifact_prefix=$(FUZZ_BUILD)/crashes/$$f- $(FUZZ_BUILD)/corpus/$$f $$seeds $$extra \
	    > $(FUZZ_BUILD)/$$f.log 2>&1; rc=$$?; \
	  grep -E 'DONE|ERROR|SUMMARY|Test unit written' $(FUZZ_BUILD)/$$f.log; [ $$rc -eq 0 ] || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
