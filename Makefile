# Quintaro: the two everyday commands are `make run` and `make test`.
BUILD    ?= build
JOBS     ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build run test bench demo fuzz sanitize clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	./$(BUILD)/quintaro

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# Direwolf on port 8000 fed with made-up APRS traffic as audio, and Quintaro
# connected to it: no radio needed. Ctrl+C ends it.
demo: build
	@scripts/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-sanitize build-fuzz
