#!/usr/bin/env bash
# The main job: builds the plug-in in all formats, installs the VST3 and LV2 into the user's
# plug-in folders, loads both installed copies the way a host does, then renders audio through
# the plug-in and the simulated pedal in real time (thornvale-render.wav).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh build

artefacts=build/Thornvale_artefacts/Debug
vst3_dir="$HOME/.vst3"
lv2_dir="$HOME/.lv2"
mkdir -p "$vst3_dir" "$lv2_dir"

rm -rf "$vst3_dir/Thornvale.vst3" "$lv2_dir/Thornvale.lv2"
cp -R "$artefacts/VST3/Thornvale.vst3" "$vst3_dir/"
cp -R "$artefacts/LV2/Thornvale.lv2" "$lv2_dir/"

echo "Installed:"
echo "  VST3        $vst3_dir/Thornvale.vst3"
echo "  LV2         $lv2_dir/Thornvale.lv2"
echo "  Standalone  $PWD/$artefacts/Standalone/Thornvale (not installed; run it from there)"
echo

./build/tools/thornvale_host_check --vst3 "$vst3_dir/Thornvale.vst3" --lv2 "$lv2_dir/Thornvale.lv2"
echo

# The main job: audio through the plug-in and the (simulated, where no pedal is connected)
# pedal in real time. Any arguments go to it: [input.wav [output.wav]] [--preset NAME] [--ppm N]
./build/tools/thornvale_render "$@"
