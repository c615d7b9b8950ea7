'it\'s' 'a\\' 'x
y' "dq \"quoted\" $v"
"n=$n, {$a['k']}, ${b}, $c->d, $e[0], $f['g'], $h[$i], $j[k"
"esc \$v \{$w} {\$x}"
"open $v
still open"; `cmd
$not_string`
"$a$b"
