// The device's display: every place drawn dot by dot from the device's glyphs on a canvas as
// wide as the page allows, and each row again as text for screen readers.
"use strict";

const Display = (() => {
    const glyphColumns = 5;
    const glyphRows = 8;
    const placePitch = glyphColumns + 1;   // in dots: one dark column between places
    const rowPitch = glyphRows + 1;
    const maxRows = 16;                    // bounds on what the server may ask us to draw
    const maxPlaces = 80;
    const ground = "#0b1409";
    const litDot = "#a8f56a";
    const unlitDot = "rgba(168, 245, 106, 0.09)";

    const canvas = document.getElementById("screen");
    const frame = canvas.parentElement;
    const rowsElement = document.getElementById("display");
    let glyphs = new Array(256).fill(null);
    let cells = Array.from({length: 4}, () => new Array(20).fill(32));   // blank until the first screen
    let places = 20;

    function byte(value) {
        return Number(value) & 0xff;
    }

    function setGlyphs(table) {
        if (!Array.isArray(table))
            return;
        glyphs = new Array(256).fill(null);
        table.slice(0, 256).forEach((rows, code) => {
            if (Array.isArray(rows))
                glyphs[code] = Array.from({length: glyphRows}, (unused, row) => byte(rows[row]) & 0x1f);
        });
        draw();
    }

    function showRows(rows) {
        const texts = (Array.isArray(rows) ? rows : []).slice(0, maxRows).map(String);
        while (rowsElement.children.length > texts.length)
            rowsElement.lastElementChild.remove();
        while (rowsElement.children.length < texts.length) {
            const row = document.createElement("div");
            row.className = "row";
            row.dataset.row = String(rowsElement.children.length);
            rowsElement.append(row);
        }
        texts.forEach((text, index) => {
            const row = rowsElement.children[index];
            if (row.textContent !== text)
                row.textContent = text;
        });
    }

    function setScreen(message) {
        cells = (Array.isArray(message.cells) ? message.cells : []).slice(0, maxRows)
                    .map(row => (Array.isArray(row) ? row.slice(0, maxPlaces).map(byte) : []));
        const widest = cells.reduce((most, row) => Math.max(most, row.length), 0);
        places = Math.min(maxPlaces, Math.max(widest, Number(message.places) || 0));
        showRows(message.rows);
        draw();
    }

    function draw() {
        const ratio = window.devicePixelRatio || 1;
        const columnsInDots = Math.max(places, 1) * placePitch + 1;
        const rowsInDots = Math.max(cells.length, 1) * rowPitch + 1;
        const pitch = Math.max(1, Math.floor(frame.clientWidth * ratio / columnsInDots));
        canvas.width = columnsInDots * pitch;
        canvas.height = rowsInDots * pitch;
        canvas.style.width = canvas.width / ratio + "px";
        canvas.style.height = canvas.height / ratio + "px";
        const context = canvas.getContext("2d");
        context.fillStyle = ground;
        context.fillRect(0, 0, canvas.width, canvas.height);
        const dot = pitch > 2 ? pitch - 1 : pitch;
        const lit = new Path2D();
        const unlit = new Path2D();
        cells.forEach((row, rowIndex) => {
            row.forEach((code, place) => {
                const glyph = glyphs[code];
                for (let y = 0; y < glyphRows; ++y) {
                    const bits = glyph ? glyph[y] : 0;
                    for (let x = 0; x < glyphColumns; ++x) {
                        const path = bits & (0x10 >> x) ? lit : unlit;
                        path.rect((1 + place * placePitch + x) * pitch, (1 + rowIndex * rowPitch + y) * pitch, dot, dot);
                    }
                }
            });
        });
        context.fillStyle = unlitDot;
        context.fill(unlit);
        context.fillStyle = litDot;
        context.fill(lit);
    }

    new ResizeObserver(draw).observe(frame);
    return {setGlyphs, setScreen};
})();
