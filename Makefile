# Tidewell: `make run` builds and starts the program, `make test` builds and runs every test.
# Both first install the Debian packages the project needs and the machine lacks.

SHELL := /bin/bash
JOBS  ?= $(shell nproc)
SUDO  := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)
CMAKE_GEN := -G Ninja
# Compiler cache shared between checkouts in different folders (CI builds a fresh clone).
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := true

PACKAGES := g++ cmake ninja-build pkg-config ccache \
  libswe-dev swe-basic-data swe-standard-data \
  libcairo2-dev libfontconfig-dev libfreetype-dev libx11-dev libxtst-dev fonts-liberation \
  libcups2-dev libhowardhinnant-date-dev libabsl-dev \
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev \
  xvfb xauth openbox clang-14 libclang-rt-14-dev libreoffice-writer-nogui xdg-utils \
  poppler-utils

.PHONY: all deps run test unit fuzz bench clean

all: run

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -qq && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

build/run/build.ninja: | deps
	cmake -S . -B build/run $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEWELL_TESTS=OFF

run: deps build/run/build.ninja
	cmake --build build/run -j $(JOBS)
	cd build/run/bin && ./tidewell

build/test/build.ninja: | deps
	cmake -S . -B build/test $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTIDEWELL_SANITIZE=ON

unit: deps build/test/build.ninja
	cmake --build build/test -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/cmake/lsan-suppressions.txt \
	  xvfb-run -a -s "-screen 0 1280x1024x24 -s 0" \
	  ctest --test-dir build/test --output-on-failure -j $(JOBS) --timeout 600

build/fuzz/build.ninja: | deps
	CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTIDEWELL_FUZZ=ON -DTIDEWELL_TESTS=OFF

# Every fuzz target runs for a few seconds from its seed corpus.
FUZZ_SECONDS ?= 5
fuzz: deps build/fuzz/build.ninja
	cmake --build build/fuzz -j $(JOBS) --target fuzz-all
	bash cmake/run-fuzz.sh build/fuzz $(FUZZ_SECONDS)

test: fuzz unit

build/bench/build.ninja: | deps
	cmake -S . -B build/bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTIDEWELL_TESTS=OFF -DTIDEWELL_BENCH=ON

bench: deps build/bench/build.ninja
	cmake --build build/bench -j $(JOBS)
	@for b in build/bench/bench/*; do [ -x "$$b" ] && echo "== $$b" && (cd build/bench/bin && "../../../$$b") || true; done

clean:
	rm -rf build
