#!/usr/bin/env bash
# One command from a fresh machine to a working plug-in: installs the
# dependencies, builds VST3, LV2, Standalone and the tools, installs them,
# and generates a first drum pattern with the default model.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build

products=build/OrvoVuded_artefacts/Release
prefix="${HOME}/.local"
mkdir -p "${HOME}/.vst3" "${HOME}/.lv2" "${prefix}/bin" "${prefix}/lib/orvo-vuded"
rm -rf "${HOME}/.vst3/OrvoVuded.vst3" "${HOME}/.lv2/OrvoVuded.lv2" "${prefix}/lib/orvo-vuded/Standalone"
cp -r "${products}/VST3/OrvoVuded.vst3" "${HOME}/.vst3/"
cp -r "${products}/LV2/OrvoVuded.lv2" "${HOME}/.lv2/"
cp -r "${products}/Standalone" "${prefix}/lib/orvo-vuded/"
ln -sf "${prefix}/lib/orvo-vuded/Standalone/OrvoVuded" "${prefix}/bin/OrvoVuded"
install -m 755 build/tools/orvo-vuded build/tools/orvo-train "${prefix}/bin/"

echo "installed: ${HOME}/.vst3/OrvoVuded.vst3, ${HOME}/.lv2/OrvoVuded.lv2,"
echo "           ${prefix}/bin/OrvoVuded (standalone), ${prefix}/bin/orvo-vuded, ${prefix}/bin/orvo-train"

# The main job: a pattern from the default model, as the plug-in exports it.
out="${PWD}/orvo-pattern.mid"
"${prefix}/bin/orvo-vuded" generate -o "${out}" > /dev/null
echo "generated a pattern with model 0 ($("${prefix}/bin/orvo-vuded" models | head -n 1 | cut -f 2)): ${out}"
