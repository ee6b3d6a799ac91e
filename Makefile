# make test   installs what is missing, builds every build, runs every test
# make bench  builds the native release benchmarks and runs them
.PHONY: test deps bench clean

test: deps
	tools/run-tests.sh

deps:
	tools/install-deps.sh

bench: deps
	tools/run-bench.sh

clean:
	rm -rf build build-*.log
