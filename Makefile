# The project's commands. CMake does the building; this file only strings the steps together.
#   make run        install what is missing, build, build the game's data, start the game
#   make test       install what is missing, build, run every test (OpenGL tests under Xvfb)
#   make test-asan  the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer
#   make test-tsan  the threaded tests built with ThreadSanitizer
#   make soak       the long seeded random-input runs of the game: 20 minutes of game time under
#                   AddressSanitizer and UndefinedBehaviorSanitizer, 2 under ThreadSanitizer
#                   (KP_SOAK_SEED=n replays a run; CI's test runs take one minute of each)
#   make bench      build and run the benchmarks (under Xvfb: the particle draw needs a display)
#   make fuzz       build the fuzz entry points with clang's libFuzzer and fuzz each one for
#                   FUZZ_SECONDS (needs clang; new inputs land in build/libfuzzer/fuzz/found/)
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
XVFB := xvfb-run -a -s "-screen 0 1920x1080x24 -noreset"
CTEST_FLAGS := --output-on-failure -j $(JOBS) --timeout 300

.PHONY: all deps build run test test-asan test-tsan soak bench fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

build/build.ninja:
	cmake -S . -B build -G Ninja $(CMAKE_FLAGS)

build: deps build/build.ninja
	cmake --build build -j $(JOBS)

run: build
	./build/Source/KorvanePellar

test: build
	$(XVFB) ctest --test-dir build $(CTEST_FLAGS)

build-asan/build.ninja:
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKP_SANITIZE=address $(CMAKE_FLAGS)

# The software OpenGL driver renders on the calling thread (LP_NUM_THREADS=0) and keeps no shader
# cache on disk (MESA_SHADER_CACHE_DISABLE): LeakSanitizer's stop-the-world at exit could otherwise
# meet the driver's worker threads as they end and fail ("Tracer caught signal 11", about one run
# in eight of the game's screens under load).
test-asan: deps build-asan/build.ninja
	cmake --build build-asan -j $(JOBS)
	MESA_SHADER_CACHE_DISABLE=true LP_NUM_THREADS=0 ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 $(XVFB) ctest --test-dir build-asan $(CTEST_FLAGS)

build-tsan/build.ninja:
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKP_SANITIZE=thread $(CMAKE_FLAGS)

# Under Xvfb: the game's threaded runs draw. The software OpenGL driver renders on the calling thread.
test-tsan: deps build-tsan/build.ninja
	cmake --build build-tsan -j $(JOBS) --target threaded_tests
	LP_NUM_THREADS=0 TSAN_OPTIONS=halt_on_error=1 $(XVFB) ctest --test-dir build-tsan $(CTEST_FLAGS) -L threads

SOAK_ASAN_SECONDS ?= 1200
SOAK_TSAN_SECONDS ?= 120

soak: deps build-asan/build.ninja build-tsan/build.ninja
	cmake --build build-asan -j $(JOBS) --target test_game
	cmake --build build-tsan -j $(JOBS) --target test_game
	KP_SOAK_SECONDS=$(SOAK_ASAN_SECONDS) MESA_SHADER_CACHE_DISABLE=true LP_NUM_THREADS=0 ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 $(XVFB) build-asan/tests/test_game --gtest_filter='*GameSoak.*'
	KP_SOAK_SECONDS=$(SOAK_TSAN_SECONDS) LP_NUM_THREADS=0 TSAN_OPTIONS=halt_on_error=1 $(XVFB) build-tsan/tests/test_game --gtest_filter='ThreadedGameSoak.*'

bench: deps build/build.ninja
	cmake --build build -j $(JOBS) --target benchmarks
	@for program in build/bench/bench_*; do [ -x "$$program" ] && $(XVFB) "$$program" || exit 1; done

FUZZ_SECONDS ?= 60
FUZZ_TREE := build/libfuzzer/fuzz

fuzz: deps build/build.ninja
	@command -v clang++ >/dev/null || { echo "make fuzz needs clang (apt-get install clang)"; exit 1; }
	cmake --build build -j $(JOBS) --target fuzzers
	@for program in $(FUZZ_TREE)/*Fuzz; do \
	  name=$$(basename "$$program"); \
	  mkdir -p "$(FUZZ_TREE)/found/$$name" "$(FUZZ_TREE)/crashes"; \
	  seeds="fuzz/corpus/$$name"; \
	  [ -d "build/fuzz/corpus/$$name" ] && seeds="$$seeds build/fuzz/corpus/$$name"; \
	  echo "fuzzing $$name for $(FUZZ_SECONDS) s"; \
	  "$$program" -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	    -artifact_prefix="$(FUZZ_TREE)/crashes/$$name-" "$(FUZZ_TREE)/found/$$name" $$seeds || exit 1; \
	done

clean:
	rm -rf build build-asan build-tsan
