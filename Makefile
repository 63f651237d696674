# The two everyday commands. Both install what is missing first.
.PHONY: run test build deps clean

deps:
	@scripts/install-deps

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default

run: build
	./build/default/src/cli/inhibra-fit examples/Data.in
	@echo "Results: examples/Data.out"


test: deps
	cmake --workflow --preset test

clean:
	rm -rf build
