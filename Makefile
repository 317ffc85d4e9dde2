# Thin wrapper over CMake. `make test` and `make demo` install missing packages first.
JOBS    ?= $(shell nproc)
BUILD   ?= build
ASAN    ?= build-asan
RELEASE ?= build-release
FUZZDIR ?= build-fuzz
FUZZ_SECONDS ?= 30
SHELL   := /bin/bash

.PHONY: all deps test test-plain test-asan content content-files measure-audio measure-capture demo \
	capture bench instructions fuzz format clean

all: test-plain

deps:
	@scripts/deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN)/CMakeCache.txt:
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DDEMO_SANITIZE=ON -DDEMO_BENCH=OFF

$(RELEASE)/CMakeCache.txt:
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DDEMO_TESTS=OFF

# Every test in the plain build, then the same suite under AddressSanitizer and UBSan.
test: deps
	$(MAKE) --no-print-directory test-plain
	$(MAKE) --no-print-directory test-asan

test-plain: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: $(ASAN)/CMakeCache.txt
	cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

# The production's files, generated from their committed sources by the release build's tools:
# whatever is missing or older than the program or text that makes it.
GENERATORS := $(RELEASE)/tools/content
TRACKFILE  := $(RELEASE)/tools/trackfile/trackfile
IMAGES     := $(addprefix content/assets/,texture.tga texture1.tga 512.tga logo.tga overlay.tga alpha.tga)

content: deps $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS) --target gen_module gen_images trackfile
	$(MAKE) --no-print-directory content-files

content-files: content/zoveta.xm $(IMAGES) content/tracks/.built

content/zoveta.xm: $(GENERATORS)/gen_module
	$< $@

$(IMAGES) &: $(GENERATORS)/gen_images
	$< content/assets

# trackfile build also removes track files the source no longer names.
content/tracks/.built: content/src/tracks.txt $(TRACKFILE)
	$(TRACKFILE) build $< content/tracks
	touch $@

# Loudness, peak and silences of the soundtrack as the program plays it.
measure-audio: content
	cmake --build $(RELEASE) -j $(JOBS) --target render_audio
	scripts/measure_audio.sh $(RELEASE)

# The capture's frame rate beside the scenes' whole-frame benchmark, and its real-time factors.
measure-capture: content
	cmake --build $(RELEASE) -j $(JOBS) --target capture bench_parts
	scripts/measure_capture.sh $(RELEASE)

# The demo reads its module, images and tracks relative to the working directory.
demo: deps content $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS) --target demo
	scripts/run_demo.sh $(RELEASE) $(ARGS)

# The production recorded offline to a video, frame-exact; options go before the file in ARGS.
capture: deps content $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS) --target capture
	mkdir -p capture
	cd content && ../$(RELEASE)/tools/capture/capture $(ARGS) ../capture/foldline.mp4

bench: deps $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS)
	@for b in $(RELEASE)/bench/bench_*; do \
		[ -x "$$b" ] || continue; echo "== $$b"; \
		"$$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || exit 1; \
	done

# Instructions per frame, counted by callgrind over FRAMES frames: steady where timings drift with
# the machine's load. Kernel work alone (the kaleidoscope's with SSE2 and scalar kernels, the
# bitmap distortion's), then each scene's whole frame up to the presented picture.
FRAMES ?= 20
CALLGRIND = valgrind --tool=callgrind --callgrind-out-file=/dev/null --collect-atstart=no \
	--toggle-collect='*run_frames*'
instructions: deps $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS) --target frame_instructions scene_instructions
	@per_frame() { \
		count=$$($(CALLGRIND) "$$@" 2>&1 | sed -n 's/.*Collected : *//p'); \
		[ -n "$$count" ] && echo "$$((count / $(FRAMES))) instructions per frame"; \
	}; \
	for set in sse2 scalar; do \
		line=$$(per_frame $(RELEASE)/bench/frame_instructions $$set $(FRAMES)) || exit 1; \
		echo "$$set: $$line"; \
	done; \
	line=$$(per_frame $(RELEASE)/bench/frame_instructions sse2 $(FRAMES) distortion) || exit 1; \
	echo "sse2 distortion: $$line"; \
	for scene in kaleido0 bitmapdist; do \
		line=$$(per_frame $(RELEASE)/bench/scene_instructions $$scene $(FRAMES)) || exit 1; \
		echo "$$scene scene: $$line"; \
	done

# Each libFuzzer target runs for FUZZ_SECONDS on its own corpus folder.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZDIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEMO_FUZZ=ON
	cmake --build $(FUZZDIR) -j $(JOBS)
	@for f in $(FUZZDIR)/fuzz/fuzz_*; do \
		[ -x "$$f" ] || continue; name=$$(basename $$f); \
		mkdir -p $(FUZZDIR)/corpus/$$name; \
		seeds=""; [ -d fuzz/corpus/$$name ] && seeds=fuzz/corpus/$$name; \
		echo "== $$name ($(FUZZ_SECONDS) s)"; \
		"$$f" -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 $(FUZZDIR)/corpus/$$name $$seeds 2>&1 \
			| grep -E '^(stat::number_of_executed_units|==|SUMMARY|Done)' ; \
		[ $${PIPESTATUS[0]} -eq 0 ] || exit 1; \
	done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN) $(RELEASE) $(FUZZDIR)
