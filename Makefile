# The two commands of the README: `make run` and `make test`.
# Everything they need is installed here, so a fresh Debian 12 machine needs nothing by hand.

PACKAGES := build-essential cmake qt6-base-dev qt6-qpa-plugins libgtest-dev libbenchmark-dev \
            fonts-dejavu-core fonts-noto-color-emoji libicu-dev locales nlohmann-json3-dev \
            librsvg2-bin desktop-file-utils groff-base man-db dpkg-dev qt6-svg-dev \
            dbus-daemon dbus-bin libunwind-dev libdw-dev qt6-translations-l10n \
            prometheus-cpp-dev prometheus curl systemd libfontconfig-dev
BUILD_DIR := build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
PREFIX ?= /usr/local
# `make install COMPONENT=cli`: one install component only (cli or desktop); empty: both.
COMPONENT ?=
# What `make install` put in place, kept apart from CMake's install_manifest.txt, which every
# other install of the build folder (a package, a test) writes again.
INSTALLED := $(BUILD_DIR)/installed_files.txt

# `make fuzz`: the libFuzzer targets of fuzz/, built with clang and the address and undefined
# behaviour sanitizers, each run for FUZZ_SECONDS; crash inputs land in build-fuzz/fuzz/crashes/.
FUZZ_DIR := build-fuzz
FUZZ_SECONDS ?= 60
# `make check-sanitize`: the whole test suite built with the sanitizers, in its own folder.
SANITIZE_DIR := build-sanitize
SANITIZE_FLAGS := -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer

.PHONY: deps build test run bench clean install install-files uninstall package fuzz check-sanitize

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing >/tmp/quolk-apt.log 2>&1 \
	    || { tail -n 30 /tmp/quolk-apt.log; exit 1; }; \
	fi

build:
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: deps build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

run: deps build
	./$(BUILD_DIR)/quolk

bench: deps build
	@for b in $(BUILD_DIR)/bench/*; do if [ -f "$$b" ] && [ -x "$$b" ]; then "$$b" || exit 1; fi; done

# The command line (binary, manual page, bash completion) and the window (its program, the
# launcher entry, the icons) under PREFIX (DESTDIR honoured); COMPONENT=cli installs the command
# line alone, as the quolk-cli package holds it. Run it as root for /usr/local.
install: deps build
	@$(MAKE) --no-print-directory install-files

# The install of what is built. CMake lists the paths without DESTDIR: the list gets it in front,
# so that uninstalling a staged install removes the staged copies and never the system's files.
install-files:
	$(SUDO) env DESTDIR=$(DESTDIR) cmake --install $(BUILD_DIR) --prefix $(PREFIX) $(if $(COMPONENT),--component $(COMPONENT))
	@sed 's|^|$(DESTDIR)|' $(BUILD_DIR)/install_manifest$(if $(COMPONENT),_$(COMPONENT)).txt | $(SUDO) tee $(INSTALLED) >/dev/null

# Removes every file that the last `make install` installed.
uninstall:
	@[ -f $(INSTALLED) ] || { echo "make uninstall: nothing was installed ($(INSTALLED) is missing)"; exit 1; }
	@while IFS= read -r f || [ -n "$$f" ]; do $(SUDO) rm -fv -- "$$f"; done < $(INSTALLED)
	@$(SUDO) rm -f $(INSTALLED)

# The Debian packages (the version of CMakeLists.txt): $(BUILD_DIR)/quolk-cli_<version>_<arch>.deb
# (the command line, no Qt) and $(BUILD_DIR)/quolk_<version>_<arch>.deb (the window, which depends
# on the first).
package: deps build
	cd $(BUILD_DIR) && cpack -G DEB

# Only fuzzing needs clang and its libFuzzer runtime.
fuzz: PACKAGES += clang libclang-rt-14-dev
fuzz: deps
	@CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUOLK_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_targets
	@fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

check-sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1 $(SANITIZE_FLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" -DQUOLK_BENCHMARKS=OFF -DQUOLK_STATIC_CXX_RUNTIME=OFF >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$(CURDIR)/.ci/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS) -LE package

clean:
	rm -rf $(BUILD_DIR) $(FUZZ_DIR) $(SANITIZE_DIR)
