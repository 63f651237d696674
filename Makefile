# The two everyday commands. Both install what is missing first.
.PHONY: run test build deps clean

deps:
	@scripts/install-deps

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default

run: build
	@scripts/run-desktop

test: deps
	cmake --workflow --preset test

clean:
	rm -rf build
