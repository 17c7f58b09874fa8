# make run   - install dependencies, build, create a library on the demo drive and show it
# make test  - install dependencies, build with sanitizers, run every test, the threaded
#              checks under ThreadSanitizer and each fuzzer for 20 s
# make bench - build release benchmarks and run them
# make gui   - start the desktop application with the demo drive in its drive list
# make screenshots - run the application under Xvfb and save pictures of a job
# make package - build a Debian package of the application and qvlib
# make reliability - write-fault, crash, damaged-library, full-drive and vanishing sweeps on a
#                    drive of SWEEP_FILES songs, then each fuzzer for 60 s
# make tsan  - the threaded tests and qvlib jobs with 8 readers under ThreadSanitizer

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 20
RELEASE := build/release
ASAN := build/asan
TSAN := build/tsan
FUZZ := build/fuzz
RELIABILITY := build/reliability
SWEEP_FILES ?= 3000
DEMO := build/demo-drive
# ccache, where installed, shares compiled objects between build folders.
LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
SHOTS := build/screenshots

.PHONY: all deps release asan tsan test unit fuzz run demo gui screenshots package bench reliability clean

all: release

deps:
	@bash scripts/install-deps

release: deps
	cmake -S . -B $(RELEASE) $(LAUNCHER) -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF -DQV_BENCH=ON >/dev/null
	cmake --build $(RELEASE) -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN) $(LAUNCHER) -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON >/dev/null
	cmake --build $(ASAN) -j $(JOBS)

unit: asan
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

# clang gives up on constant evaluation far sooner than GCC, and some tables
# of the engine are computed at compile time; the step limit matches GCC's.
fuzz: deps
	CC=clang CXX=clang++ CXXFLAGS=-fconstexpr-steps=33554432 \
		cmake -S . -B $(FUZZ) $(LAUNCHER) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON >/dev/null
	cmake --build $(FUZZ) -j $(JOBS) --target $$(cd tests/fuzz && ls *_fuzz.cpp 2>/dev/null | sed 's/\.cpp$$//')
	/usr/bin/python3 tools/make-fuzz-seeds $(FUZZ)/seeds-read_track_tags_fuzz
	@for f in tests/fuzz/*_fuzz.cpp; do \
		[ -e "$$f" ] || continue; \
		name=$$(basename $$f .cpp); \
		echo "fuzz: $$name for $(FUZZ_SECONDS) s"; \
		mkdir -p $(FUZZ)/corpus-$$name; \
		$(FUZZ)/tests/fuzz/$$name -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -print_final_stats=1 \
			$(FUZZ)/corpus-$$name $$(ls -d $(FUZZ)/seeds-$$name 2>/dev/null) 2>$(FUZZ)/$$name.log \
			|| { tail -n 60 $(FUZZ)/$$name.log; exit 1; }; \
		grep -E '^stat::number_of_executed_units' $(FUZZ)/$$name.log || true; \
	done

# The tests whose threads meet, and a create and an update of qvlib with 8
# readers on a generated drive; any report of a race fails the run.
TSAN_TESTS := job_job_flow_test job_tag_reader_pool_test job_drive_scan_test
tsan: deps
	cmake -S . -B $(TSAN) $(LAUNCHER) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TSAN=ON -DQV_GUI=OFF >/dev/null
	cmake --build $(TSAN) -j $(JOBS) --target qvlib $(TSAN_TESTS)
	@export TSAN_OPTIONS="halt_on_error=1 exitcode=66"; \
	for t in $(TSAN_TESTS); do \
		$(TSAN)/tests/$$t >$(TSAN)/$$t.log 2>&1 || { tail -n 60 $(TSAN)/$$t.log; exit 1; }; \
		echo "tsan: $$t clean"; \
	done; \
	/usr/bin/python3 tools/make-plain-drive $(TSAN)/drive 600 && \
	$(TSAN)/src/cli/qvlib create $(TSAN)/drive --fs fat --yes --readers 8 >$(TSAN)/qvlib.log 2>&1 && \
	/usr/bin/python3 tools/make-plain-drive $(TSAN)/more 60 && cp -r $(TSAN)/more/Music $(TSAN)/drive/More && \
	$(TSAN)/src/cli/qvlib update $(TSAN)/drive --fs fat --yes --readers 8 >>$(TSAN)/qvlib.log 2>&1 && \
	$(TSAN)/src/cli/qvlib check $(TSAN)/drive --fs fat >>$(TSAN)/qvlib.log 2>&1 \
		|| { tail -n 60 $(TSAN)/qvlib.log; exit 1; }; \
	echo "tsan: qvlib create and update with 8 readers clean"

test: unit tsan fuzz

demo: release
	/usr/bin/python3 tools/make-demo-drive $(DEMO)

# The demo drive is a plain folder, so --fs names its kind.
run: demo
	$(RELEASE)/src/cli/qvlib create $(DEMO) --fs fat --yes
	$(RELEASE)/src/cli/qvlib dump $(DEMO) --fs fat

# The demo drive is a plain folder, so --volume names its kind.
gui: demo
	$(RELEASE)/src/gui/library-creator --volume $(DEMO):msdos

# A fresh demo drive named STICK at a mount path as a desktop gives one
# (SHOT_DRIVE, removed afterwards): the application creates its library, and
# qvlib checks what it wrote; then the update once more, in German.
SHOT_DRIVE ?= /media/$(shell id -un)/STICK
SHOT_RUN = xvfb-run -a -s "-screen 0 1024x768x24 -wr" $(RELEASE)/src/gui/library-creator-tour \
	--volume $(SHOT_DRIVE):msdos
screenshots: release
	@[ ! -e $(SHOT_DRIVE) ] || { echo "screenshots: $(SHOT_DRIVE) is in use; choose SHOT_DRIVE=..."; exit 1; }
	rm -rf $(SHOTS) && mkdir -p $(SHOTS)/de
	/usr/bin/python3 tools/make-demo-drive $(SHOT_DRIVE)
	LANG=en_US.UTF-8 LANGUAGE= $(SHOT_RUN) --screenshots $(SHOTS) || { rm -rf $(SHOT_DRIVE); exit 1; }
	LANG=de_DE.UTF-8 LANGUAGE= $(SHOT_RUN) --screenshots $(SHOTS)/de || { rm -rf $(SHOT_DRIVE); exit 1; }
	$(RELEASE)/src/cli/qvlib check $(SHOT_DRIVE) --fs fat; status=$$?; rm -rf $(SHOT_DRIVE); exit $$status
	ls $(SHOTS)/*.png $(SHOTS)/de/*.png

# A Debian package of both programs, their manual pages, the desktop entry,
# the AppStream description and the icons, in build/package.
PACKAGE := build/package
package: deps
	cmake -S . -B $(PACKAGE) $(LAUNCHER) -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF \
		-DCMAKE_INSTALL_PREFIX=/usr >/dev/null
	cmake --build $(PACKAGE) -j $(JOBS)
	cd $(PACKAGE) && cpack -G DEB
	ls $(PACKAGE)/*.deb

bench: release
	@for b in $(RELEASE)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done

# One line per sweep and per fuzzer: faults injected and drives left intact,
# crash points and recoveries, executions and crashes.
reliability: deps
	cmake -S . -B $(RELIABILITY) $(LAUNCHER) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(RELIABILITY) -j $(JOBS) --target job_drive_safety_test
	@QV_SWEEP_FILES=$(SWEEP_FILES) $(RELIABILITY)/tests/job_drive_safety_test --gtest_filter='*Sweep*' \
		>$(RELIABILITY)/sweeps.log 2>&1; status=$$?; \
		grep -E '^(write faults|crash points|vanishing folders|full drive|damaged libraries)' $(RELIABILITY)/sweeps.log; \
		[ $$status -eq 0 ] || { tail -n 40 $(RELIABILITY)/sweeps.log; exit 1; }
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=60 >$(RELIABILITY)/fuzz.log 2>&1; status=$$?; \
		for f in tests/fuzz/*_fuzz.cpp; do \
			name=$$(basename $$f .cpp); \
			runs=$$(sed -n 's/^stat::number_of_executed_units: *//p' $(FUZZ)/$$name.log 2>/dev/null); \
			crashes=$$(grep -c -E '^==[0-9]+==ERROR|deadly signal' $(FUZZ)/$$name.log 2>/dev/null); \
			echo "fuzz $$name: $${runs:-0} executions, $${crashes:-0} crashes over 60 s"; \
		done; \
		[ $$status -eq 0 ] || { tail -n 40 $(RELIABILITY)/fuzz.log; exit 1; }

clean:
	rm -rf build
