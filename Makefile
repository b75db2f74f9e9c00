# The two commands a newcomer needs: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build run test test-asan test-tsan bench fuzz clean
.PHONY: install uninstall package clean-package windows test-windows clean-windows

all: build

deps:
	@scripts/install-deps

# Configuring every time is cheap and picks up test folders added since the last build.
build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) > /dev/null
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Starts the program. Without a display or a sound card it runs the scripted demonstration on a
# virtual display with file-backed audio instead.
run: build
	@scripts/run-program $(BUILD_DIR)

test: build
	scripts/run-tests $(BUILD_DIR)

# The whole suite under AddressSanitizer with UndefinedBehaviorSanitizer, or ThreadSanitizer,
# in a build folder of its own.
test-asan: deps
	cmake -S . -B build-asan -DSANITIZE=address,undefined $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	scripts/run-tests build-asan

test-tsan: deps
	cmake -S . -B build-tsan -DSANITIZE=thread $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS)
	scripts/run-tests build-tsan

bench: deps
	cmake -S . -B build-bench -DDR_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build build-bench -j $(JOBS)
	scripts/run-bench build-bench

# The libFuzzer target over the MP3 input path (tests/fuzz), built with clang in build-fuzz,
# run for FUZZ_SECONDS; fails on any finding.
FUZZ_SECONDS ?= 60
fuzz: deps
	CXX=clang++ cmake -S tests/fuzz -B build-fuzz $(CMAKE_FLAGS)
	cmake --build build-fuzz -j $(JOBS)
	scripts/run-fuzz build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-bench build-fuzz

# Installs the program under PREFIX, below DESTDIR when given (staged installs write nothing
# outside it):  make install [PREFIX=/usr] [DESTDIR=/tmp/stage]
PREFIX ?= /usr/local
APP_ID := example.dravellin.Recorder
# Builds first only when nothing is built yet, so `make build && sudo make install` leaves no
# files of root's in the build folder but the install manifest.
install:
	@test -x $(BUILD_DIR)/dravellin-recorder || $(MAKE) build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# Removes what `make install` put under the same PREFIX and DESTDIR.
uninstall:
	rm -f "$(DESTDIR)$(PREFIX)/bin/dravellin-recorder"
	rm -rf "$(DESTDIR)$(PREFIX)/lib/dravellin-recorder"
	rm -f "$(DESTDIR)$(PREFIX)/share/applications/$(APP_ID).desktop"
	rm -f "$(DESTDIR)$(PREFIX)/share/metainfo/$(APP_ID).metainfo.xml"
	rm -f "$(DESTDIR)$(PREFIX)"/share/icons/hicolor/*/apps/$(APP_ID).png
	rm -f "$(DESTDIR)$(PREFIX)/share/icons/hicolor/scalable/apps/$(APP_ID).svg"
	rm -f "$(DESTDIR)$(PREFIX)/share/man/man1/dravellin-recorder.1"
	rm -f "$(DESTDIR)$(PREFIX)/share/man/ru/man1/dravellin-recorder.1"

# The binary Debian package, built with debhelper and dpkg-buildpackage, into dist/.
package:
	@scripts/install-deps package
	scripts/build-package dist

clean-package:
	rm -rf build-deb dist
clean: clean-package

# The Windows build, cross-compiled with MinGW-w64: the installer and the portable zip in dist/
# (build folder build-win/; third-party libraries cached outside the tree, see
# scripts/win-thirdparty). Its tests run under Wine on a virtual display.
windows:
	JOBS=$(JOBS) scripts/build-windows dist

test-windows: windows
	scripts/test-windows dist

clean-windows:
	rm -rf build-win dist/dravellin-recorder-*-win64*
