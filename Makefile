# make test   installs what is missing, builds every build, runs every test
# make bench  builds the native release benchmarks and runs them
# make demo   installs the product from its distribution under Wine and shows the result
.PHONY: test deps bench demo clean

test: deps
	tools/run-tests.sh

deps:
	tools/install-deps.sh

bench: deps
	tools/run-bench.sh

demo: deps
	tools/demo.sh

clean:
	rm -rf build build-*.log
