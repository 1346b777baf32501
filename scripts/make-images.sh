#!/usr/bin/env bash
# Draws the program's images with ImageMagick. The results are committed
# under resources/images; run again only to change them.
set -euo pipefail
cd "$(dirname "$0")/../resources/images"
FONT=DejaVu-Sans-Bold

# icon <file> <colour> <glyph drawing commands...>
icon() {
  local out=$1 colour=$2; shift 2
  convert -size 104x104 xc:none \
    -fill "$colour" -draw "roundrectangle 4,4 99,99 20,20" \
    -fill 'rgba(255,255,255,0.18)' -draw "roundrectangle 4,4 99,50 20,20" \
    -stroke white -strokewidth 7 -fill none "$@" \
    -resize 52x52 "$out"
}

icon SystemSet.png '#3a6ea5' -draw "circle 52,52 52,28" -draw "line 52,14 52,30" -draw "line 52,74 52,90" -draw "line 14,52 30,52" -draw "line 74,52 90,52"
icon ChannelConfig.png '#2e8b57' -draw "line 26,30 78,30" -draw "line 26,52 78,52" -draw "line 26,74 78,74" -fill white -draw "circle 40,30 40,36" -draw "circle 64,52 64,58" -draw "circle 46,74 46,80"
icon AcquisitionDevice.png '#5b5ea6' -draw "rectangle 22,30 82,74" -draw "line 34,86 70,86" -fill white -draw "circle 36,52 36,56" -draw "circle 52,52 52,56" -draw "circle 68,52 68,56"
icon ChannelCalibration.png '#c0392b' -draw "line 52,20 52,62" -draw "circle 52,74 52,62" -draw "line 62,30 72,30" -draw "line 62,42 72,42" -draw "line 62,54 72,54"
icon Parameters.png '#d35400' -draw "polyline 18,76 36,48 52,60 68,30 86,40" -draw "line 18,86 86,86"
icon VerificationReport.png '#16a085' -draw "rectangle 28,18 76,86" -draw "line 38,38 66,38" -draw "line 38,52 66,52" -draw "line 38,66 56,66"
icon ViewLog.png '#8e44ad' -draw "ellipse 52,52 32,20 0,360" -fill white -draw "circle 52,52 52,60"
icon DownloadLog.png '#2980b9' -draw "line 52,20 52,66" -draw "polyline 34,50 52,68 70,50" -draw "line 26,84 78,84"
icon DeleteLog.png '#7f8c8d' -draw "rectangle 32,34 72,84" -draw "line 24,28 80,28" -draw "line 44,20 60,20" -draw "line 44,44 44,74" -draw "line 60,44 60,74"
icon SetLog.png '#b9770e' -draw "line 22,32 82,32" -draw "line 22,52 82,52" -draw "line 22,72 82,72" -fill white -draw "circle 64,32 64,38" -draw "circle 38,52 38,58" -draw "circle 58,72 58,78"
icon Help.png '#27ae60' -draw "arc 34,18 70,54 180,405" -draw "line 52,54 52,66" -fill white -draw "circle 52,80 52,84"
icon Message.png '#e67e22' -draw "rectangle 20,30 84,74" -draw "polyline 20,30 52,56 84,30"
icon AboutUs.png '#34495e' -draw "line 52,44 52,80" -fill white -draw "circle 52,28 52,33"

# Logo: a thermometer over a trend line.
convert -size 256x256 xc:none \
  -fill '#1f4e79' -draw "roundrectangle 8,8 247,247 40,40" \
  -stroke white -strokewidth 12 -fill none -draw "line 96,56 96,150" \
  -fill white -stroke none -draw "circle 96,178 96,150" \
  -stroke '#f5b041' -strokewidth 10 -fill none -draw "polyline 128,190 156,130 180,156 212,76" \
  Logo.png
convert Logo.png -resize 64x64 Tervan64.png
convert Logo.png -define icon:auto-resize=256,64,48,32,16 Tervan.ico
rm -f Tervan64.png

# Splash shown while the program starts.
convert -size 640x360 gradient:'#1f4e79-#0b2236' \
  \( Logo.png -resize 140x140 \) -geometry +60+110 -composite \
  -font "$FONT" -fill white -pointsize 54 -annotate +230+190 'ARQ-310MX' \
  -pointsize 20 -fill '#d6eaf8' -annotate +232+232 'Acquisition · Calibration · Reports' \
  Open.png

# Check box images.
convert -size 32x32 xc:none -fill white -stroke '#1f4e79' -strokewidth 3 -draw "roundrectangle 3,3 28,28 5,5" Checkbox_unchecked.png
convert Checkbox_unchecked.png -stroke '#1e8449' -strokewidth 4 -fill none -draw "polyline 8,16 14,23 25,9" Checkbox_checked.png

# Busy animation: a dot running round a ring.
frames=()
for i in $(seq 0 11); do
  a=$(echo "$i*30" | bc)
  x=$(echo "scale=2; 24+16*c($a*3.14159/180)" | bc -l)
  y=$(echo "scale=2; 24+16*s($a*3.14159/180)" | bc -l)
  convert -size 48x48 xc:white -stroke '#d6eaf8' -strokewidth 5 -fill none -draw "circle 24,24 24,8" \
    -stroke none -fill '#1f4e79' -draw "circle $x,$y $x,$(echo "$y+5" | bc)" /tmp/arq_wait_$i.gif
  frames+=(/tmp/arq_wait_$i.gif)
done
convert -delay 8 -loop 0 "${frames[@]}" wait.gif
rm -f /tmp/arq_wait_*.gif
