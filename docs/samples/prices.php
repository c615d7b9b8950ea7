<?php
// Prints the basket as a table.
$prices = ['tea' => 2.5, 'cake' => 3.0];

echo "<table>\n";
foreach ($prices as $item => $price) {
    echo "<tr><td>$item</td><td>" . number_format($price, 2) . "</td></tr>\n";
}
echo "<tr><td>total</td><td>$totl</td></tr>\n";
echo "</table>\n";

function discount(array $p) { return $p['coffee'] * 0.9; }
echo "<p>discount: " . discount($prices) . "</p>\n";

function checkout(array $basket) {
    if (!$basket) throw new InvalidArgumentException("empty basket");
}
checkout([]);
