# The two everyday commands are `make run` and `make test`; both install missing
# packages, configure once and build incrementally.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
ASAN_DIR ?= build-asan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build test run demo install uninstall release sanitize tsan bench clean fuzz faults

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja: | deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: deps $(BUILD_DIR)/build.ninja
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

run: build
	@$(BUILD_DIR)/app/harbrook

# A local demo FTP server (pyftpdlib, loopback port 2121, demo/demo) over a sample tree,
# and the window; the server stops when the window closes.
demo: build
	@scripts/demo $(BUILD_DIR)

# Installs the programs, the desktop entry and the icon under PREFIX (DESTDIR honoured).
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD_DIR) --prefix $(PREFIX)

uninstall:
	@cmake --build $(BUILD_DIR) --target uninstall

# What a packager builds: the programs, optimised, and still free of warnings (-Werror
# stays on here; a packager may configure with -DHARBROOK_WERROR=OFF).
RELEASE_DIR ?= build-release
release: deps
	@[ -f $(RELEASE_DIR)/build.ninja ] || cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
		-DHARBROOK_BUILD_TESTS=OFF -DHARBROOK_BUILD_BENCH=OFF
	@cmake --build $(RELEASE_DIR) -j $(JOBS)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	@[ -f $(ASAN_DIR)/build.ninja ] || cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHARBROOK_SANITIZE=ON
	@cmake --build $(ASAN_DIR) -j $(JOBS)
	@cd $(ASAN_DIR) && ctest --output-on-failure -j $(JOBS)

# The engine's and the FTP client's tests under ThreadSanitizer (shared caches, workers,
# Abort from another thread).
TSAN_DIR ?= build-tsan
tsan: deps
	@[ -f $(TSAN_DIR)/build.ninja ] || cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHARBROOK_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread
	@cmake --build $(TSAN_DIR) -j $(JOBS) --target engine_test ftp_test platform_test
	@cd $(TSAN_DIR) && ctest --output-on-failure -j $(JOBS) -R "LumoThread|SStringlist|TransferList|DirListings|Abort|Transfers|TransferWorkers|RemoteSession|GuiCalls|Interrupt"

# harbrook-cli against curl and lftp on loopback servers (pyftpdlib; vsftpd as root),
# the listing parsers and memory, as one table. Not part of the tests.
bench: build
	@bench/run-all $(BUILD_DIR)

clean:
	@rm -rf $(BUILD_DIR) $(ASAN_DIR) $(TSAN_DIR) $(RELEASE_DIR)

# The fuzz targets (clang, libFuzzer, ASan and UBSan) in a tree of their own, each run for
# FUZZ_SECONDS over its seeds (fuzz/corpus) and what earlier runs found (kept in the
# tree); fails on a crash, a leak, an input slower than 1 s or above 512 MiB. CI runs a
# short slice (FUZZ_SECONDS=8).
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	@[ -f $(FUZZ_DIR)/build.ninja ] || cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_COMPILER=clang++-14 -DHARBROOK_FUZZ=ON
	@cmake --build $(FUZZ_DIR) -j $(JOBS)
	@scripts/run-fuzz $(FUZZ_DIR) $(FUZZ_SECONDS)

# The faults on purpose alone: servers killed, frozen and full, links pulled, local
# disks full, the client interrupted, connects and data ports that never answer (root
# for vsftpd, tmpfs and namespaces).
faults: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) -R "Faults/|Cuts/|CliTimeouts|BlackHole|Interrupt"
