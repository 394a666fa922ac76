# kobu: the two commands of the README, and the builds behind them.
#   make demo    build the native program and run it on examples/
#   make test    install what is missing, build both programs, run every test
#   make dist    the Windows release: build/dist/kobu-VERSION-win32.zip and SHA256SUMS
#   make install the native program and its manual page under $(DESTDIR)$(PREFIX)
#   make uninstall  removes what make install put there
SHELL := /bin/bash
.DEFAULT_GOAL := demo
.PHONY: demo test deps deps-native deps-win32 native win32 win64 sanitize fuzz-build fuzz bench mutations screenshots dist install uninstall clean

DEMO := build/demo
FUZZ_SECONDS ?= 600
PREFIX ?= /usr/local

deps:
	@./cmake/install-deps.sh

deps-native:
	@./cmake/install-deps.sh native

deps-win32:
	@./cmake/install-deps.sh win32

# Configure and build one preset; fuzz-build is the fuzz preset.
native win32 win64 sanitize fuzz-build:
	@cmake --preset $(@:-build=) >/dev/null
	@cmake --build --preset $(@:-build=)

demo: deps-native
	@cmake --preset native -DKOBU_TESTS=OFF >/dev/null
	@cmake --build --preset native --target kobu
	@rm -rf $(DEMO) && mkdir -p $(DEMO)/config $(DEMO)/Desktop
	@printf 'XDG_DESKTOP_DIR="%s"\n' "$(CURDIR)/$(DEMO)/Desktop" > $(DEMO)/config/user-dirs.dirs
	@LC_ALL=C.UTF-8 XDG_CONFIG_HOME="$(CURDIR)/$(DEMO)/config" build/native/kobu examples/Favorites
	@echo "Favorites page of examples/Favorites written to $(DEMO)/Desktop/kobu.html"
	@cp examples/links.txt $(DEMO)/links.txt
	@cd $(DEMO) && LC_ALL=C.UTF-8 XDG_CONFIG_HOME="$(CURDIR)/$(DEMO)/config" ../native/kobu links.txt
	@echo "Links page of examples/links.txt written to $(DEMO)/links.txt.html"

# The Wine route (cmake/wine-route.sh, which may install 32-bit Wine to
# find it) is found once and handed to the installer, the builds and the
# test registration.  The 64-bit build of the same sources is a test vehicle
# for machines where 32-bit Wine cannot run, never shipped.
test:
	@route=$$(./cmake/wine-route.sh) && export KOBU_WINE_ROUTE=$$route && \
	  ./cmake/install-deps.sh && \
	  $(MAKE) --no-print-directory win32 && \
	  if [ "$$route" = win64 ]; then $(MAKE) --no-print-directory win64; fi && \
	  cmake --preset native -DKOBU_TESTS=ON -DKOBU_WINE_ROUTE=$$route >/dev/null
	@cmake --build --preset native
	@$(MAKE) --no-print-directory sanitize fuzz-build
	@ctest --preset native -j2
	@ctest --preset sanitize -j2
	@ctest --preset fuzz -j2

fuzz: fuzz-build
	@./fuzz/run.sh build/fuzz $(FUZZ_SECONDS)

bench: deps
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench
	@./bench/run.sh build/bench

# The README's pictures of the two demo pages, taken with headless Chromium.
CHROMIUM_SHOT = chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync --hide-scrollbars \
  --user-data-dir=$(CURDIR)/build/chromium-profile
screenshots: demo
	@$(CHROMIUM_SHOT) --window-size=760,900 --screenshot=$(CURDIR)/docs/favorites-page.png \
	  file://$(CURDIR)/$(DEMO)/Desktop/kobu.html 2>/dev/null
	@$(CHROMIUM_SHOT) --window-size=760,210 --screenshot=$(CURDIR)/docs/links-page.png \
	  file://$(CURDIR)/$(DEMO)/links.txt.html 2>/dev/null
	@echo "docs/favorites-page.png and docs/links-page.png written"

mutations: deps
	@./tests/mutations/run.py build/mutations

# The Windows release archive, built from the win32 preset.
dist: deps-win32 win32
	@cmake --build --preset win32 --target dist
	@cd build/dist && sha256sum -c SHA256SUMS

# An optimised native program of its own folder, so that installing never
# changes the test build.
install: deps-native
	@cmake --preset native -B build/install -DKOBU_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build/install --target kobu -j 2
	@DESTDIR="$(DESTDIR)" cmake --install build/install --prefix "$(PREFIX)" --strip

# The three files make install puts under $(DESTDIR)$(PREFIX), and nothing else.
uninstall:
	rm -f "$(DESTDIR)$(PREFIX)/bin/kobu" "$(DESTDIR)$(PREFIX)/share/man/man1/kobu.1" \
	  "$(DESTDIR)$(PREFIX)/share/doc/kobu/LICENSE"
	-rmdir "$(DESTDIR)$(PREFIX)/share/doc/kobu" 2>/dev/null

clean:
	rm -rf build
