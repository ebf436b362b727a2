#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when some are missing.
# Usage: scripts/install-deps.sh [--test]
set -euo pipefail

packages=(g++ cmake ninja-build ccache pkg-config
          qt6-base-dev libqt6opengl6-dev
          libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
          libturbojpeg0-dev libpng-dev libx11-dev
          libzip-dev libexpat1-dev libtinygltf-dev nlohmann-json3-dev
          libmeshoptimizer-dev libavcodec-dev libavformat-dev libswscale-dev libavutil-dev)
if [[ "${1:-}" == "--test" ]]; then
  packages+=(libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
             xvfb xauth locales python3-pil desktop-file-utils shared-mime-info)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) != 0 ]]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The locale tests write and read files under a locale with a decimal comma.
if [[ "${1:-}" == "--test" ]] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  sudo_cmd=()
  if [[ $(id -u) != 0 ]]; then sudo_cmd=(sudo); fi
  if ! grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'de_DE.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
