# The two commands of the README: `make run` and `make test`.
# Everything they need is installed here, so a fresh Debian 12 machine needs nothing by hand.

PACKAGES := build-essential cmake qt6-base-dev qt6-qpa-plugins libgtest-dev libbenchmark-dev \
            fonts-dejavu-core fonts-noto-color-emoji locales nlohmann-json3-dev
BUILD_DIR := build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build test run bench clean

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
	@for b in $(BUILD_DIR)/bench/*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf $(BUILD_DIR)
