# Makefile — short names for the project's scripts; CMake presets do the building.
.PHONY: run test bench screenshot e2e check-pe package

run:
	bash scripts/run.sh

test:
	bash scripts/test.sh

bench:
	bash bench/run.sh

# the README's picture, taken under Xvfb
screenshot:
	env -u DISPLAY bash scripts/run.sh --shot docs/screenshot.png

# the scripts drive the release exe, and one of them the win32-tests build's power_probe.exe
e2e:
	cmake --preset win32 && cmake --build --preset win32
	cmake --preset win32-tests && cmake --build --preset win32-tests
	bash tests/e2e/run_all.sh

check-pe:
	bash scripts/check_pe.sh

# dist/Tarveil-XP-<version>.zip, then its check
package:
	bash scripts/package.sh && bash scripts/check_package.sh
